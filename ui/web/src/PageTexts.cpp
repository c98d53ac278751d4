#include "web/PageTexts.h"

#include "web/Json.h"

namespace kpx::web {

namespace {

template <std::size_t N>
std::string members(const PageText (&texts)[N])
{
    std::string json;
    for (const PageText &text : texts) {
        if (!json.empty())
            json += ',';
        json += jsonString(text.key) + ":" + jsonString(text.text.text());
    }
    return json;
}

} // namespace

std::string pageTextsJson()
{
    return members(PageTexts) + ",\"recovery\":{" + members(RecoveryTexts) + "}";
}

} // namespace kpx::web
