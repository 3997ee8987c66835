#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/External/Hub/Files/AtomicFile.h"
#include "OrvaneCore/External/Hub/Files/FileReadError.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Trimming.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <locale.h>
#include <memory>
#include <openssl/evp.h>
#include <vector>

namespace orvane {

namespace {

namespace fs = std::filesystem;

bool isNewline(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Every newline character is one separator, so CR LF gives an empty piece between its two halves.
std::vector<std::string> splitAtNewlines(std::string_view text) {
    std::vector<std::string> pieces(1);
    size_t offset = 0;
    while (offset < text.size()) {
        size_t start = offset;
        char32_t c = text::nextCodePoint(text, offset);
        if (isNewline(c)) {
            pieces.emplace_back();
        } else {
            pieces.back().append(text.substr(start, offset - start));
        }
    }
    return pieces;
}

// The whole text must be one number in the C locale's syntax (decimal, exponent, hexadecimal, inf, nan).
std::optional<double> parseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    static locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    char* end = nullptr;
    double value = strtod_l(text.c_str(), &end, cLocale);
    if (end != text.c_str() + text.size() || std::isspace(static_cast<unsigned char>(text.front()))) {
        return std::nullopt;
    }
    return value;
}

// Shortest text that reads back to the same value, in plain notation; a whole number keeps ".0".
std::string unixTimeText(double seconds) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
    std::string text(buffer, error == std::errc() ? end : buffer);
    if (text.find('.') == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::string removingAll(std::string text, const std::string& part) {
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part)) {
        text.erase(at, part.size());
    }
    return text;
}

HubApi::LocalDownloadFileMetadata parseMetadata(const fs::path& metadataPath) {
    std::string text = FileReadError::readContents(metadataPath);
    if (!text::isValidUtf8(text)) {
        throw FileReadError(metadataPath, std::make_error_code(std::errc::illegal_byte_sequence));
    }
    std::vector<std::string> pieces = splitAtNewlines(text);
    if (pieces.size() < 3) {
        throw HubEnvironmentError::invalidMetadataError("Metadata file is missing required fields");
    }
    std::string commitHash(text::trimmedWhiteSpaceAndNewlines(pieces[0]));
    std::string etag(text::trimmedWhiteSpaceAndNewlines(pieces[1]));
    auto timestamp = parseNumber(std::string(text::trimmedWhiteSpaceAndNewlines(pieces[2])));
    if (!timestamp) {
        throw HubEnvironmentError::invalidMetadataError("Invalid timestamp format");
    }
    return {commitHash, etag, removingAll(metadataPath.filename().string(), ".metadata"), *timestamp};
}

} // namespace

std::optional<HubApi::LocalDownloadFileMetadata>
HubApi::readDownloadMetadata(const fs::path& metadataPath) const {
    std::error_code ignored;
    const fs::file_status status = fs::symlink_status(metadataPath, ignored);
    if (!fs::exists(status)) {
        return std::nullopt;
    }
    std::string problem;
    bool environmentError = false;
    try {
        return parseMetadata(metadataPath);
    } catch (const HubEnvironmentError& error) {
        problem = error.what();
        environmentError = true;
    } catch (const std::exception& error) {
        problem = error.what();
    }
    // Only a damaged record itself is deleted: a path given by mistake (a model file, a folder, a link)
    // is reported and left alone, whatever it holds.
    const std::string where = net::fileUrlString(metadataPath);
    const std::string prefix = environmentError ? "Invalid metadata file " : "Error reading metadata file ";
    if (!fs::is_regular_file(status) || !metadataPath.filename().string().ends_with(".metadata")) {
        Logging::writeToSystemLog(Logging::LogType::error,
                                  prefix + where + ": " + problem + ". Not a download record; leaving it.", "");
        throw HubEnvironmentError::invalidMetadataError("Could not remove corrupted metadata file: " +
                                                        metadataPath.string() +
                                                        " is not a regular \".metadata\" file");
    }
    Logging::writeToSystemLog(Logging::LogType::error,
                              prefix + where + ": " + problem + ". Removing it from disk and continuing.", "");
    std::error_code removal;
    fs::remove(metadataPath, removal);
    if (removal) {
        throw HubEnvironmentError::invalidMetadataError("Could not remove corrupted metadata file: " +
                                                        removal.message());
    }
    return std::nullopt;
}

void HubApi::writeDownloadMetadata(const std::string& commitHash, const std::string& etag,
                                   const fs::path& metadataPath) const {
    double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::string text = commitHash + "\n" + etag + "\n" + unixTimeText(now) + "\n";
    try {
        // A bare file name has no parent folder to make: it lies in the current folder.
        if (!metadataPath.parent_path().empty()) {
            fs::create_directories(metadataPath.parent_path());
        }
        AtomicFile::write(metadataPath, text);
    } catch (const fs::filesystem_error& error) {
        throw HubEnvironmentError::fileWriteError("Failed to write metadata to " + metadataPath.string() +
                                                  ": " + error.code().message());
    }
}

std::string HubApi::computeFileHash(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::error_code status;
    if (!in || fs::is_directory(file, status)) {
        throw Hub::HubClientError::fileNotFound(file.filename().string());
    }
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
    // One piece in memory at a time, however large the file.
    constexpr size_t pieceSize = 1'048'576;
    std::vector<char> piece(pieceSize);
    while (in) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        std::streamsize n = in.gcount();
        if (n <= 0) {
            break; // end of file, or a read error: the digest covers what was read
        }
        EVP_DigestUpdate(context.get(), piece.data(), static_cast<size_t>(n));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

} // namespace orvane
