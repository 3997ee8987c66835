#include "Sonavex/Core/Constants.h"

#include "Sonavex/Core/Models/ModelSupportConfig.h"

namespace sonavex {
namespace {

DeviceSupport row(std::string chips, std::string defaultModel, std::vector<std::string> identifiers,
                  std::vector<std::string> supported) {
    return {std::move(chips), std::move(identifiers), {std::move(defaultModel), std::move(supported), {}}};
}

std::vector<std::string> midRangeModels() {
    return {"openai_whisper-tiny",
            "openai_whisper-tiny.en",
            "openai_whisper-base",
            "openai_whisper-base.en",
            "openai_whisper-small",
            "openai_whisper-small.en",
            "openai_whisper-large-v2_949MB",
            "openai_whisper-large-v2_turbo_955MB",
            "openai_whisper-large-v3_947MB",
            "openai_whisper-large-v3_turbo_954MB",
            "distil-whisper_distil-large-v3_594MB",
            "distil-whisper_distil-large-v3_turbo_600MB",
            "openai_whisper-large-v3-v20240930_626MB",
            "openai_whisper-large-v3-v20240930_turbo_632MB"};
}

std::vector<DeviceSupport> fallbackRows() {
    return {
        row("A12, A13, S9, S10", "openai_whisper-tiny",
            {"iPhone11", "iPhone12", "iPad12,1", "iPad12,2", "Watch7", "Watch8"},
            {"openai_whisper-base", "openai_whisper-base.en", "openai_whisper-tiny", "openai_whisper-tiny.en"}),
        row("A16, A17 Pro, A18", "openai_whisper-base",
            {"iPhone15", "iPhone16", "iPhone17", "iPad15,7", "iPad15,8", "iPad16,1", "iPad16,2"},
            midRangeModels()),
        row("M1", "openai_whisper-large-v3-v20240930_626MB",
            {"MacBookPro17,1", "MacBookPro18,1", "MacBookPro18,2", "MacBookPro18,3", "MacBookPro18,4",
             "MacBookAir10,1", "Macmini9,1", "iMac21,1", "iMac21,2", "Mac13", "iPad13,4", "iPad13,5", "iPad13,6",
             "iPad13,7", "iPad13,8", "iPad13,9", "iPad13,10", "iPad13,11", "iPad13,16", "iPad13,17"},
            {"openai_whisper-tiny", "openai_whisper-tiny.en", "openai_whisper-base", "openai_whisper-base.en",
             "openai_whisper-small", "openai_whisper-small.en", "openai_whisper-large-v2",
             "openai_whisper-large-v2_949MB", "openai_whisper-large-v3", "openai_whisper-large-v3_947MB",
             "distil-whisper_distil-large-v3", "distil-whisper_distil-large-v3_594MB",
             "openai_whisper-large-v3-v20240930_626MB"}),
        row("M2, M3, M4", "openai_whisper-large-v3-v20240930",
            {"Mac14", "Mac15", "Mac16", "iPad14,3", "iPad14,4", "iPad14,5", "iPad14,6", "iPad14,8", "iPad14,9",
             "iPad14,10", "iPad14,11", "iPad15", "iPad16"},
            {"openai_whisper-tiny",
             "openai_whisper-tiny.en",
             "openai_whisper-base",
             "openai_whisper-base.en",
             "openai_whisper-small",
             "openai_whisper-small.en",
             "openai_whisper-large-v2",
             "openai_whisper-large-v2_949MB",
             "openai_whisper-large-v2_turbo",
             "openai_whisper-large-v2_turbo_955MB",
             "openai_whisper-large-v3",
             "openai_whisper-large-v3_947MB",
             "openai_whisper-large-v3_turbo",
             "openai_whisper-large-v3_turbo_954MB",
             "distil-whisper_distil-large-v3",
             "distil-whisper_distil-large-v3_594MB",
             "distil-whisper_distil-large-v3_turbo",
             "distil-whisper_distil-large-v3_turbo_600MB",
             "openai_whisper-large-v3-v20240930",
             "openai_whisper-large-v3-v20240930_turbo",
             "openai_whisper-large-v3-v20240930_626MB",
             "openai_whisper-large-v3-v20240930_turbo_632MB"}),
        row("A14", "openai_whisper-base", {"iPhone13", "iPad13,1", "iPad13,2", "iPad13,18", "iPad13,19"},
            {"openai_whisper-tiny", "openai_whisper-tiny.en", "openai_whisper-base", "openai_whisper-base.en",
             "openai_whisper-small", "openai_whisper-small.en"}),
        row("A15", "openai_whisper-base", {"iPhone14", "iPad14,1", "iPad14,2"}, midRangeModels()),
    };
}

} // namespace

const std::map<std::string, std::string>& Constants::languages() {
    static const std::map<std::string, std::string> table{
        {"english", "en"},        {"chinese", "zh"},       {"mandarin", "zh"},       {"german", "de"},
        {"spanish", "es"},        {"castilian", "es"},     {"russian", "ru"},        {"korean", "ko"},
        {"french", "fr"},         {"japanese", "ja"},      {"portuguese", "pt"},     {"turkish", "tr"},
        {"polish", "pl"},         {"catalan", "ca"},       {"valencian", "ca"},      {"dutch", "nl"},
        {"flemish", "nl"},        {"arabic", "ar"},        {"swedish", "sv"},        {"italian", "it"},
        {"indonesian", "id"},     {"hindi", "hi"},         {"finnish", "fi"},        {"vietnamese", "vi"},
        {"hebrew", "he"},         {"ukrainian", "uk"},     {"greek", "el"},          {"malay", "ms"},
        {"czech", "cs"},          {"romanian", "ro"},      {"moldavian", "ro"},      {"moldovan", "ro"},
        {"danish", "da"},         {"hungarian", "hu"},     {"tamil", "ta"},          {"norwegian", "no"},
        {"thai", "th"},           {"urdu", "ur"},          {"croatian", "hr"},       {"bulgarian", "bg"},
        {"lithuanian", "lt"},     {"latin", "la"},         {"maori", "mi"},          {"malayalam", "ml"},
        {"welsh", "cy"},          {"slovak", "sk"},        {"telugu", "te"},         {"persian", "fa"},
        {"latvian", "lv"},        {"bengali", "bn"},       {"serbian", "sr"},        {"azerbaijani", "az"},
        {"slovenian", "sl"},      {"kannada", "kn"},       {"estonian", "et"},       {"macedonian", "mk"},
        {"breton", "br"},         {"basque", "eu"},        {"icelandic", "is"},      {"armenian", "hy"},
        {"nepali", "ne"},         {"mongolian", "mn"},     {"bosnian", "bs"},        {"kazakh", "kk"},
        {"albanian", "sq"},       {"swahili", "sw"},       {"galician", "gl"},       {"marathi", "mr"},
        {"punjabi", "pa"},        {"panjabi", "pa"},       {"sinhala", "si"},        {"sinhalese", "si"},
        {"khmer", "km"},          {"shona", "sn"},         {"yoruba", "yo"},         {"somali", "so"},
        {"afrikaans", "af"},      {"occitan", "oc"},       {"georgian", "ka"},       {"belarusian", "be"},
        {"tajik", "tg"},          {"sindhi", "sd"},        {"gujarati", "gu"},       {"amharic", "am"},
        {"yiddish", "yi"},        {"lao", "lo"},           {"uzbek", "uz"},          {"faroese", "fo"},
        {"haitian creole", "ht"}, {"haitian", "ht"},       {"pashto", "ps"},         {"pushto", "ps"},
        {"turkmen", "tk"},        {"nynorsk", "nn"},       {"maltese", "mt"},        {"sanskrit", "sa"},
        {"luxembourgish", "lb"},  {"letzeburgesch", "lb"}, {"myanmar", "my"},        {"burmese", "my"},
        {"tibetan", "bo"},        {"tagalog", "tl"},       {"malagasy", "mg"},       {"assamese", "as"},
        {"tatar", "tt"},          {"hawaiian", "haw"},     {"lingala", "ln"},        {"hausa", "ha"},
        {"bashkir", "ba"},        {"javanese", "jw"},      {"sundanese", "su"},      {"cantonese", "yue"},
    };
    return table;
}

const std::set<std::string>& Constants::languageCodes() {
    static const std::set<std::string> codes = [] {
        std::set<std::string> all;
        for (const auto& entry : languages()) {
            all.insert(entry.second);
        }
        return all;
    }();
    return codes;
}

const ModelSupportConfig& Constants::fallbackModelSupportConfig() {
    // Built as it stands, never merged with itself.
    static const ModelSupportConfig config("sonavex-coreml-fallback", "0.4", fallbackRows(), false);
    return config;
}

const std::vector<std::string>& Constants::knownModels() {
    static const std::vector<std::string> models = fallbackModelSupportConfig().knownModels;
    return models;
}

} // namespace sonavex
