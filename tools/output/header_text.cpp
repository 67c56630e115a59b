#include "output/header_text.h"

#include <ImfFloatAttribute.h>
#include <ImfHeader.h>
#include <ImfIntAttribute.h>
#include <ImfStringAttribute.h>

#include <charconv>

#include "base/number_text.h"
#include "base/tool_error.h"

namespace deepglass {

namespace {

bool Prefixed(const std::string& name, const std::string& prefix) { return name.rfind(prefix, 0) == 0; }

template <typename Number>
Number NumberOf(const HeaderText& text)
{
    Number value{};
    const char* end = text.text.data() + text.text.size();
    const auto result = std::from_chars(text.text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end)
        throw ToolError("the attribute " + text.name + " is not a number: " + text.text);
    return value;
}

} // namespace

std::shared_ptr<const Imf::Header> WithHeaderTexts(const Imf::Header* header, const std::string& prefix,
                                                   const std::vector<HeaderText>& texts)
{
    // Attributes are copied over rather than erased from a copy: this OpenEXR's Header::erase
    // does not free the attribute it removes.
    auto written = std::make_shared<Imf::Header>();
    if (header != nullptr)
        for (auto it = header->begin(); it != header->end(); ++it)
            if (!Prefixed(it.name(), prefix)) written->insert(it.name(), it.attribute());
    for (const HeaderText& text : texts) {
        switch (text.type) {
        case HeaderText::Type::FLOAT:
            written->insert(text.name, Imf::FloatAttribute(NumberOf<float>(text)));
            break;
        case HeaderText::Type::INT: written->insert(text.name, Imf::IntAttribute(NumberOf<int>(text))); break;
        case HeaderText::Type::STRING: written->insert(text.name, Imf::StringAttribute(text.text)); break;
        }
    }
    return written;
}

std::vector<std::pair<std::string, std::string>> HeaderTextsOf(const Imf::Header& header,
                                                               const std::string& prefix)
{
    std::vector<std::pair<std::string, std::string>> texts;
    for (auto it = header.begin(); it != header.end(); ++it) {
        if (!Prefixed(it.name(), prefix)) continue;
        const Imf::Attribute& attribute = it.attribute();
        std::string text = "(" + std::string(attribute.typeName()) + ")";
        if (const auto* string = dynamic_cast<const Imf::StringAttribute*>(&attribute))
            text = string->value();
        else if (const auto* number = dynamic_cast<const Imf::FloatAttribute*>(&attribute))
            text = NumberText(number->value());
        else if (const auto* whole = dynamic_cast<const Imf::IntAttribute*>(&attribute))
            text = std::to_string(whole->value());
        texts.emplace_back(it.name(), std::move(text));
    }
    return texts;
}

} // namespace deepglass
