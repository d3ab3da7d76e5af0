// Which language version of a resource the loader hands out depends on the
// locales of the machine; a document has to show the bitmaps the platform
// would show for the same file, and a build has to get the same bitmaps on
// every machine.
#include "document/pe_resource_reader.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <algorithm>

namespace pe {

#if defined(_WIN32)
namespace {

void Push(std::vector<std::uint16_t>& order, std::uint16_t lang) {
    if (std::find(order.begin(), order.end(), lang) == order.end()) order.push_back(lang);
}

}  // namespace
#endif

LanguageOrder PlatformLanguageOrder() {
#if defined(_WIN32)
    auto primary = [](std::uint16_t lang) { return static_cast<std::uint16_t>(lang & 0x3FF); };
    const auto thread = static_cast<std::uint16_t>(LANGIDFROMLCID(GetThreadLocale()));
    const auto user = static_cast<std::uint16_t>(LANGIDFROMLCID(GetUserDefaultLCID()));
    const auto system = static_cast<std::uint16_t>(LANGIDFROMLCID(GetSystemDefaultLCID()));
    std::vector<std::uint16_t> order;
    Push(order, 0x0000);
    Push(order, thread);
    Push(order, user);
    Push(order, primary(user));
    Push(order, system);
    Push(order, primary(system));
    Push(order, 0x0409);
    return {order};
#else
    return kEnglishUsLanguageOrder;
#endif
}

LanguageOrder FixedLanguageOrder() {
    return {{0x0000, 0x0409}, true};
}

}  // namespace pe
