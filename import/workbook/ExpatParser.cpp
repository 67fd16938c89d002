#include "import/workbook/ExpatParser.h"

#include "import/workbook/WorkbookErrors.h"

#include <expat.h>

#include <cstring>
#include <exception>
#include <memory>

namespace rowpour::workbook
{

namespace
{

constexpr std::size_t kChunk = 65536;

struct ParserDeleter {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

struct Context {
    XmlHandler *handler = nullptr;
    XML_Parser parser = nullptr;
    const QString *part = nullptr;
    std::exception_ptr failure;
    bool doctype = false;
    int depth = 0;
};

void stopWith(Context &context, std::exception_ptr failure)
{
    if (!context.failure)
        context.failure = failure;
    XML_StopParser(context.parser, XML_FALSE);
}

void XMLCALL onStart(void *data, const XML_Char *name, const XML_Char **attributes)
{
    auto &context = *static_cast<Context *>(data);
    try {
        if (++context.depth > kMaxXmlDepth)
            throw damaged(QStringLiteral("part %1: the elements nest deeper than %2 levels")
                              .arg(*context.part)
                              .arg(kMaxXmlDepth));
        context.handler->startElement(name, attributes);
    } catch (...) {
        stopWith(context, std::current_exception());
    }
}

void XMLCALL onEnd(void *data, const XML_Char *name)
{
    auto &context = *static_cast<Context *>(data);
    --context.depth;
    try {
        context.handler->endElement(name);
    } catch (...) {
        stopWith(context, std::current_exception());
    }
}

void XMLCALL onCharacters(void *data, const XML_Char *text, int length)
{
    auto &context = *static_cast<Context *>(data);
    try {
        context.handler->characters(std::string_view(text, std::size_t(length)));
    } catch (...) {
        stopWith(context, std::current_exception());
    }
}

void XMLCALL onDoctype(void *data, const XML_Char *, const XML_Char *, const XML_Char *, int)
{
    auto &context = *static_cast<Context *>(data);
    context.doctype = true;
    XML_StopParser(context.parser, XML_FALSE);
}

class Parser
{
public:
    Parser(XmlHandler &handler, QString part) : part_(std::move(part))
    {
        parser_.reset(XML_ParserCreateNS("UTF-8", '|'));
        if (!parser_)
            throw damaged(QStringLiteral("out of memory"));
        context_.handler = &handler;
        context_.parser = parser_.get();
        context_.part = &part_;
        XML_SetUserData(parser_.get(), &context_);
        XML_SetElementHandler(parser_.get(), onStart, onEnd);
        XML_SetCharacterDataHandler(parser_.get(), onCharacters);
        XML_SetStartDoctypeDeclHandler(parser_.get(), onDoctype);
        XML_SetParamEntityParsing(parser_.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    }

    // Parses a piece; true when the handler paused the parser.
    bool feed(const char *data, std::size_t size, bool last)
    {
        return check(XML_Parse(parser_.get(), data, int(size), last ? XML_TRUE : XML_FALSE));
    }
    bool resume() { return check(XML_ResumeParser(parser_.get())); }
    void pause() { XML_StopParser(parser_.get(), XML_TRUE); }
    void abort() { XML_StopParser(parser_.get(), XML_FALSE); }

private:
    bool check(XML_Status status)
    {
        if (context_.failure)
            std::rethrow_exception(context_.failure);
        if (context_.doctype)
            throw damaged(QStringLiteral("part %1: document type declarations are not allowed").arg(part_));
        if (status == XML_STATUS_SUSPENDED)
            return true;
        if (status != XML_STATUS_OK)
            throw damaged(QStringLiteral("part %1: %2 at line %3")
                              .arg(part_, QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser_.get()))))
                              .arg(XML_GetCurrentLineNumber(parser_.get())));
        return false;
    }

    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
    Context context_;
    QString part_;
};

} // namespace

void parseXml(ByteSource &source, XmlHandler &handler, const QString &partName)
{
    Parser parser(handler, partName);
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        const std::size_t n = source.read(buffer.get(), kChunk);
        parser.feed(buffer.get(), n, n == 0);
        if (n == 0)
            return;
    }
}

void parseXml(std::string_view text, XmlHandler &handler, const QString &partName)
{
    MemorySource source(text.data(), text.size());
    parseXml(source, handler, partName);
}

class XmlPullParser::Impl
{
public:
    Impl(std::unique_ptr<ByteSource> source, XmlHandler &handler, QString part)
        : source_(std::move(source)), parser_(handler, std::move(part)), buffer_(new char[kChunk])
    {
    }

    bool resume()
    {
        if (finished_)
            return false;
        if (paused_) {
            // The rest of the piece fed last is still to be parsed.
            paused_ = parser_.resume();
            if (paused_ || finished_)
                return !finished_;
        }
        while (!fedLast_) {
            const std::size_t n = source_->read(buffer_.get(), kChunk);
            fedLast_ = n == 0;
            paused_ = parser_.feed(buffer_.get(), n, fedLast_);
            if (finished_)
                return false;
            if (paused_)
                return true;
        }
        finished_ = true;
        return false;
    }

    void pause() { parser_.pause(); }
    void finish()
    {
        finished_ = true;
        parser_.pause();
    }

private:
    std::unique_ptr<ByteSource> source_;
    Parser parser_;
    std::unique_ptr<char[]> buffer_;
    bool paused_ = false;
    bool fedLast_ = false;
    bool finished_ = false;
};

XmlPullParser::XmlPullParser(std::unique_ptr<ByteSource> source, XmlHandler &handler, QString partName)
    : impl_(std::make_unique<Impl>(std::move(source), handler, std::move(partName)))
{
}

XmlPullParser::~XmlPullParser() = default;

bool XmlPullParser::resume()
{
    return impl_->resume();
}

void XmlPullParser::pause()
{
    impl_->pause();
}

void XmlPullParser::finish()
{
    impl_->finish();
}

std::string_view localName(std::string_view qualified)
{
    const std::size_t bar = qualified.rfind('|');
    return bar == std::string_view::npos ? qualified : qualified.substr(bar + 1);
}

const char *attributeValue(const char **attributes, std::string_view local)
{
    for (const char **a = attributes; *a != nullptr; a += 2)
        if (localName(*a) == local)
            return a[1];
    return nullptr;
}

const char *qualifiedAttribute(const char **attributes, std::string_view qualified)
{
    for (const char **a = attributes; *a != nullptr; a += 2)
        if (qualified == *a)
            return a[1];
    return nullptr;
}

} // namespace rowpour::workbook
