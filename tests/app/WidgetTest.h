#pragma once
// Helpers of the widget tests: the application object and modal dialogs
// driven from the test.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <functional>

namespace rowpour::testing
{

// Runs action on the next modal widget once it is shown (polling, so it works
// whatever the dialog does before it enters its event loop).
inline void WhenModal(std::function<void(QWidget *)> action)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start();
}

// Answers the next file dialog with path (or cancels it when path is empty),
// after letting inspect look at it.
inline void AnswerFileDialog(const QString &path, std::function<void(QFileDialog *)> inspect = {})
{
    WhenModal([path, inspect](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (dialog && inspect)
            inspect(dialog);
        if (!dialog || path.isEmpty()) {
            modal->close();
            return;
        }
        // The name field ignores selectFile while it has the focus.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        else
            dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

} // namespace rowpour::testing
