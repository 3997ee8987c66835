#include "Sonavex/Utilities/Transcription/TextUtilities.h"

#include "OrvaneCore/Text/Encoding.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <limits>
#include <stdexcept>
#include <zlib.h>

namespace sonavex {

namespace {

const float kInfinity = std::numeric_limits<float>::infinity();

// The length of the bytes as a raw DEFLATE stream (no zlib header or checksum), as the platform's
// zlib compression writes it; throws std::runtime_error with zlib's reason.
std::size_t deflatedLength(const unsigned char* bytes, std::size_t count) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error(stream.msg ? stream.msg : "deflate could not start");
    }
    std::vector<unsigned char> output(deflateBound(&stream, static_cast<uLong>(count)));
    stream.next_in = const_cast<unsigned char*>(bytes);
    stream.avail_in = static_cast<uInt>(count);
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int status = deflate(&stream, Z_FINISH);
    const std::size_t length = stream.total_out;
    const std::string reason = stream.msg ? stream.msg : "deflate did not finish";
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        throw std::runtime_error(reason);
    }
    return length;
}

float ratio(const unsigned char* bytes, std::size_t count) {
    try {
        if (count > std::numeric_limits<uInt>::max()) {
            throw std::runtime_error("input of " + std::to_string(count) + " bytes is too large");
        }
        return static_cast<float>(count) / static_cast<float>(deflatedLength(bytes, count));
    } catch (const std::exception& error) {
        Logging::debug("Compression error: " + std::string(error.what()));
        return kInfinity;
    }
}

} // namespace

float TextUtilities::compressionRatio(const std::vector<int64_t>& tokens) {
    std::vector<unsigned char> bytes;
    bytes.reserve(tokens.size() * 4);
    for (int64_t token : tokens) {
        const auto value = static_cast<uint32_t>(static_cast<int32_t>(token));
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<unsigned char>(value >> shift));
        }
    }
    return ratio(bytes.data(), bytes.size());
}

float TextUtilities::compressionRatio(const std::string& text) {
    if (text.empty()) {
        return kInfinity;
    }
    if (!orvane::text::isValidUtf8(text)) {
        Logging::debug("String encoding error");
        return kInfinity;
    }
    return ratio(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

} // namespace sonavex
