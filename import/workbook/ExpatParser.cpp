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

struct ParserDeleter {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

struct Context {
    XmlHandler *handler;
    XML_Parser parser;
    std::exception_ptr failure;
    bool doctype = false;
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
        context.handler->startElement(name, attributes);
    } catch (...) {
        stopWith(context, std::current_exception());
    }
}

void XMLCALL onEnd(void *data, const XML_Char *name)
{
    auto &context = *static_cast<Context *>(data);
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
        context_ = {&handler, parser_.get(), nullptr};
        XML_SetUserData(parser_.get(), &context_);
        XML_SetElementHandler(parser_.get(), onStart, onEnd);
        XML_SetCharacterDataHandler(parser_.get(), onCharacters);
        XML_SetStartDoctypeDeclHandler(parser_.get(), onDoctype);
        XML_SetParamEntityParsing(parser_.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    }

    void feed(const char *data, std::size_t size, bool last)
    {
        const XML_Status status = XML_Parse(parser_.get(), data, int(size), last ? XML_TRUE : XML_FALSE);
        if (context_.failure)
            std::rethrow_exception(context_.failure);
        if (context_.doctype)
            throw damaged(QStringLiteral("part %1: document type declarations are not allowed").arg(part_));
        if (status != XML_STATUS_OK)
            throw damaged(QStringLiteral("part %1: %2 at line %3")
                              .arg(part_, QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser_.get()))))
                              .arg(XML_GetCurrentLineNumber(parser_.get())));
    }

private:
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
    Context context_{};
    QString part_;
};

} // namespace

void parseXml(ByteSource &source, XmlHandler &handler, const QString &partName)
{
    Parser parser(handler, partName);
    std::unique_ptr<char[]> buffer(new char[65536]);
    for (;;) {
        const std::size_t n = source.read(buffer.get(), 65536);
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
