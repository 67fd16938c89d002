#include "app/mainFRm.h"

TForm1::TForm1(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("ROWPOUR v."));
    resize(423, 414);
}
