#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlschemas.h>

#include <memory>

#include "ReportExport.h"

namespace bx {

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const
    {
        if (p)
            Free(p);
    }
};

using Doc = std::unique_ptr<xmlDoc, Deleter<xmlDoc, xmlFreeDoc>>;
using SchemaParser = std::unique_ptr<xmlSchemaParserCtxt, Deleter<xmlSchemaParserCtxt, xmlSchemaFreeParserCtxt>>;
using Schema = std::unique_ptr<xmlSchema, Deleter<xmlSchema, xmlSchemaFree>>;
using Validator = std::unique_ptr<xmlSchemaValidCtxt, Deleter<xmlSchemaValidCtxt, xmlSchemaFreeValidCtxt>>;

// libxml2 reports through a callback; the first message is the reason given.
void KeepFirstError(void* context, xmlErrorPtr error)
{
    auto* reason = static_cast<std::string*>(context);
    if (!reason->empty() || !error || !error->message)
        return;
    *reason = error->message;
    while (!reason->empty() && (reason->back() == '\n' || reason->back() == ' '))
        reason->pop_back();
    if (error->line > 0)
        *reason = "line " + std::to_string(error->line) + ": " + *reason;
}

std::string Text(xmlNode* node)
{
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

std::string Name(xmlNode* node)
{
    return reinterpret_cast<const char*>(node->name);
}

void Collect(xmlNode* parent, ReportData& data)
{
    for (xmlNode* node = parent->children; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        const std::string name = Name(node);
        if (name == "reportinfo" || name == "tkanreport" || name == "reportdata") {
            Collect(node, data);
        } else if (name == "test") {
            Reading reading;
            for (xmlNode* cell = node->children; cell; cell = cell->next)
                if (cell->type == XML_ELEMENT_NODE)
                    reading[Name(cell)] = Text(cell);
            data.readings.push_back(reading);
        } else {
            data.values[name] = Text(node);
        }
    }
}

}  // namespace

std::string ReportData::Value(const std::string& name) const
{
    auto it = values.find(name);
    return it == values.end() ? std::string() : it->second;
}

int LoadReport(const std::string& schemaPath, const std::string& xmlPath, ReportData& data, std::string& error)
{
    std::string reason;
    xmlSetStructuredErrorFunc(&reason, KeepFirstError);

    SchemaParser parser(xmlSchemaNewParserCtxt(schemaPath.c_str()));
    Schema schema(parser ? xmlSchemaParse(parser.get()) : nullptr);
    if (!schema) {
        error = "the schema " + schemaPath + " cannot be used" + (reason.empty() ? "" : ": " + reason);
        return kExitSchema;
    }
    reason.clear();
    // No network and no entities from outside: the report is plain data.
    Doc doc(xmlReadFile(xmlPath.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS));
    if (!doc) {
        error = "the report " + xmlPath + " cannot be read" + (reason.empty() ? "" : ": " + reason);
        return kExitInvalidXml;
    }
    Validator validator(xmlSchemaNewValidCtxt(schema.get()));
    if (!validator || xmlSchemaValidateDoc(validator.get(), doc.get()) != 0) {
        error = "the report " + xmlPath + " does not match the schema" + (reason.empty() ? "" : ": " + reason);
        return kExitInvalidXml;
    }
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    Collect(xmlDocGetRootElement(doc.get()), data);
    return kExitOk;
}

}  // namespace bx
