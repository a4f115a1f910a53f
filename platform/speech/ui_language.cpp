#include "platform/speech/ui_language.h"

#include <cstdlib>
#include <string>

namespace lexavo::sp {
namespace {

struct LocaleId {
    std::string_view name;
    LANGID id;
};

// language_TERRITORY first, then a language alone for its primary territory.
constexpr LocaleId kLocales[] = {
    {"zh_CN", 0x0804}, {"zh_TW", 0x0404}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404},
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409},
    {"en_IE", 0x1809}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412}, {"de_DE", 0x0407}, {"de_AT", 0x0C07},
    {"de_CH", 0x0807}, {"fr_FR", 0x040C}, {"fr_CA", 0x0C0C}, {"fr_BE", 0x080C}, {"fr_CH", 0x100C},
    {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"it_IT", 0x0410}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816},
    {"ru_RU", 0x0419}, {"nl_NL", 0x0413}, {"sv_SE", 0x041D}, {"pl_PL", 0x0415}, {"ar_SA", 0x0401},
    {"he_IL", 0x040D}, {"th_TH", 0x041E}, {"vi_VN", 0x042A}, {"tr_TR", 0x041F}, {"uk_UA", 0x0422},
    {"zh", 0x0804}, {"en", 0x0409}, {"ja", 0x0411}, {"ko", 0x0412}, {"de", 0x0407}, {"fr", 0x040C},
    {"es", 0x0C0A}, {"it", 0x0410}, {"pt", 0x0816}, {"ru", 0x0419}, {"nl", 0x0413}, {"sv", 0x041D},
    {"pl", 0x0415}, {"ar", 0x0401}, {"he", 0x040D}, {"th", 0x041E}, {"vi", 0x042A}, {"tr", 0x041F},
    {"uk", 0x0422},
};

}  // namespace

LANGID LangIdFromLocaleName(std::string_view locale) {
    // Drop ".codeset" and "@modifier".
    const auto cut = locale.find_first_of(".@");
    if (cut != std::string_view::npos) locale = locale.substr(0, cut);
    const auto underscore = locale.find('_');
    const std::string_view language = locale.substr(0, underscore);
    for (const auto& entry : kLocales)
        if (entry.name == locale) return entry.id;
    for (const auto& entry : kLocales)
        if (entry.name == language) return entry.id;
    return kLangEnglishUs;
}

LANGID GetUserDefaultLangID() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return LangIdFromLocaleName(value);
    }
    return kLangEnglishUs;
}

LANGID GetUserDefaultUILanguage() { return GetUserDefaultLangID(); }

}  // namespace lexavo::sp
