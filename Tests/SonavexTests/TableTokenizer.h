#pragma once
// A tokenizer made from a small table of token texts, for tests where the ids matter: the Whisper
// special ids by default, the language tokens "<|en|>" (50259) and "<|ja|>" (50266), the task tokens,
// and any text tokens a test adds. Words are single tokens.

#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"

#include <map>
#include <stdexcept>

class TableTokenizer : public sonavex::WhisperTokenizer {
public:
    TableTokenizer() {
        add("<|endoftext|>", 50257);
        add("<|startoftranscript|>", 50258);
        add("<|en|>", 50259);
        add("<|ja|>", 50266);
        add("<|translate|>", 50358);
        add("<|transcribe|>", 50359);
        add("<|startofprev|>", 50361);
        add("<|notimestamps|>", 50363);
        add("<|0.00|>", 50364);
        languages_ = {50259, 50266};
    }

    void add(const std::string& text, int id) {
        ids_[text] = id;
        texts_[id] = text;
    }
    void addLanguage(const std::string& code, int id) {
        add("<|" + code + "|>", id);
        languages_.insert(id);
    }
    void remove(const std::string& text) {
        texts_.erase(ids_.at(text));
        ids_.erase(text);
    }

    std::vector<int> encode(const std::string& text) const override { return {ids_.at(text)}; }
    std::string decode(const std::vector<int>& tokens) const override {
        std::string text;
        for (int id : tokens) {
            auto found = texts_.find(id);
            if (found != texts_.end()) {
                text += found->second;
            }
        }
        return text;
    }
    std::optional<int> convertTokenToId(const std::string& token) const override {
        auto found = ids_.find(token);
        return found == ids_.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::string> convertIdToToken(int id) const override {
        auto found = texts_.find(id);
        return found == texts_.end() ? std::nullopt : std::optional(found->second);
    }
    const sonavex::SpecialTokens& specialTokens() const override { return special_; }
    const std::set<int>& allLanguageTokens() const override { return languages_; }
    sonavex::WordTokens splitToWordTokens(const std::vector<int>& tokenIds) const override {
        sonavex::WordTokens split;
        for (int id : tokenIds) {
            split.words.push_back(decode({id}));
            split.wordTokens.push_back({id});
        }
        return split;
    }

private:
    std::map<std::string, int> ids_;
    std::map<int, std::string> texts_;
    std::set<int> languages_;
    sonavex::SpecialTokens special_;
};
