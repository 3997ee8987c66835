#include "Platform/ML/Whisper/MelSpectrogramModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "Platform/ML/Kernels/Gemm.h"
#include "Platform/ML/Kernels/ThreadPool.h"
#include "Platform/ML/Whisper/MelFilterBank.h"
#include "Platform/ML/Model/PredictionError.h"

namespace ml {

MelSpectrogramModel::MelSpectrogramModel(const ModelFolder& folder) {
    const ModelParameters& parameters = folder.parameters();
    samples_ = parameters.integer("n_samples", 480000);
    fftSize_ = parameters.integer("n_fft", 400);
    hop_ = parameters.integer("hop_length", 160);
    melCount_ = parameters.integer("n_mels");
    if (fftSize_ < 2 || fftSize_ % 2 != 0 || hop_ < 1 || melCount_ < 1 || samples_ <= fftSize_ / 2 ||
        samples_ < hop_) {
        throw std::invalid_argument("mel parameters need an even n_fft, a positive hop_length and n_mels, and "
                                    "n_samples above n_fft / 2");
    }
    bins_ = fftSize_ / 2 + 1;
    frames_ = samples_ / hop_;
    folder.requireInput(kInputName, MultiArrayDataType::Float32, {samples_});
    folder.requireOutput(kOutputName, MultiArrayDataType::Float16, {1, melCount_, 1, frames_});
    filters_ = folder.weights().array(kFiltersName, {melCount_, bins_}, MultiArrayDataType::Float32).toFloats();

    // Window and DFT folded into one table; angles reduced modulo n_fft in integers for accuracy.
    basis_.assign(static_cast<std::size_t>(fftSize_ * 2 * bins_), 0.0f);
    const double step = 2.0 * std::numbers::pi / static_cast<double>(fftSize_);
    for (int64_t n = 0; n < fftSize_; ++n) {
        const double window = 0.5 - 0.5 * std::cos(step * static_cast<double>(n));
        for (int64_t k = 0; k < bins_; ++k) {
            const double angle = step * static_cast<double>((k * n) % fftSize_);
            basis_[n * 2 * bins_ + k] = static_cast<float>(window * std::cos(angle));
            basis_[n * 2 * bins_ + bins_ + k] = static_cast<float>(-window * std::sin(angle));
        }
    }
}

ModelWriter MelSpectrogramModel::writer(int64_t melCount, int64_t sampleCount) {
    constexpr int64_t kSampleRate = 16000;
    constexpr int64_t kFftSize = 400;
    constexpr int64_t kHop = 160;
    ModelWriter writer(kKind);
    writer.parameters().set("sample_rate", kSampleRate);
    writer.parameters().set("n_fft", kFftSize);
    writer.parameters().set("hop_length", kHop);
    writer.parameters().set("n_mels", melCount);
    writer.parameters().set("n_samples", sampleCount);
    writer.description().inputs.push_back(
        FeatureDescription::multiArray(kInputName, MultiArrayDataType::Float32, {sampleCount}));
    writer.description().outputs.push_back(FeatureDescription::multiArray(
        kOutputName, MultiArrayDataType::Float16, {1, melCount, 1, sampleCount / kHop}));
    writer.addTensor(kFiltersName, slaneyMelFilterBank(static_cast<int>(kSampleRate), static_cast<int>(kFftSize),
                                                       static_cast<int>(melCount)));
    return writer;
}

namespace {

// Runs body(begin, end) over [0, total) in a few chunks per pool thread.
template <class Body> void parallelChunks(int64_t total, Body&& body) {
    kernels::ThreadPool& pool = kernels::ThreadPool::shared();
    const auto chunks = static_cast<int64_t>(std::min<std::size_t>(pool.threadCount() * 2, static_cast<std::size_t>(total)));
    pool.parallelFor(static_cast<std::size_t>(chunks), [&](std::size_t chunk) {
        const int64_t begin = total * static_cast<int64_t>(chunk) / chunks;
        const int64_t end = total * (static_cast<int64_t>(chunk) + 1) / chunks;
        body(begin, end);
    });
}

} // namespace

std::vector<float> MelSpectrogramModel::logMel(const float* samples) const {
    const int64_t pad = fftSize_ / 2;
    auto sampleAt = [&](int64_t i) {
        // Reflect padding without repeating the edge sample.
        if (i < 0) {
            i = -i;
        } else if (i >= samples_) {
            i = 2 * (samples_ - 1) - i;
        }
        return samples[i];
    };
    // Cheap passes (copies, squares) stay on the calling thread: a fork-join costs more than they do.
    std::vector<float> frames(static_cast<std::size_t>(frames_ * fftSize_));
    for (int64_t t = 0; t < frames_; ++t) {
        const int64_t start = t * hop_ - pad;
        float* row = frames.data() + t * fftSize_;
        if (start >= 0 && start + fftSize_ <= samples_) {
            std::copy(samples + start, samples + start + fftSize_, row);
        } else {
            for (int64_t n = 0; n < fftSize_; ++n) {
                row[n] = sampleAt(start + n);
            }
        }
    }

    const int64_t width = 2 * bins_;
    std::vector<float> spectrum(static_cast<std::size_t>(frames_ * width));
    kernels::gemm(false, false, static_cast<size_t>(frames_), static_cast<size_t>(width),
                  static_cast<size_t>(fftSize_), 1.0f, frames.data(), static_cast<size_t>(fftSize_), basis_.data(),
                  static_cast<size_t>(width), 0.0f, spectrum.data(), static_cast<size_t>(width));

    std::vector<float> power(static_cast<std::size_t>(frames_ * bins_));
    for (int64_t t = 0; t < frames_; ++t) {
        const float* row = spectrum.data() + t * width;
        float* out = power.data() + t * bins_;
        for (int64_t k = 0; k < bins_; ++k) {
            out[k] = row[k] * row[k] + row[bins_ + k] * row[bins_ + k];
        }
    }

    // mel [n_mels, frames] = filters [n_mels, bins] x power^T [bins, frames]
    std::vector<float> mel(static_cast<std::size_t>(melCount_ * frames_));
    kernels::gemm(false, true, static_cast<size_t>(melCount_), static_cast<size_t>(frames_),
                  static_cast<size_t>(bins_), 1.0f, filters_.data(), static_cast<size_t>(bins_), power.data(),
                  static_cast<size_t>(bins_), 0.0f, mel.data(), static_cast<size_t>(frames_));

    // The logarithms are the one costly element-wise pass. The clamp needs the maximum over the whole
    // window, so it is a second pass.
    std::vector<float> rowMaximum(static_cast<std::size_t>(melCount_), -INFINITY);
    parallelChunks(melCount_, [&](int64_t first, int64_t last) {
        for (int64_t m = first; m < last; ++m) {
            float maximum = -INFINITY;
            for (float* value = mel.data() + m * frames_; value < mel.data() + (m + 1) * frames_; ++value) {
                *value = std::log10(std::max(*value, 1e-10f));
                maximum = std::max(maximum, *value);
            }
            rowMaximum[m] = maximum;
        }
    });
    const float floor = *std::max_element(rowMaximum.begin(), rowMaximum.end()) - 8.0f;
    for (float& value : mel) {
        value = (std::max(value, floor) + 4.0f) / 4.0f;
    }
    return mel;
}

void MelSpectrogramModel::predict(const FeatureProvider& inputs, const PredictionOptions&,
                                  DictionaryFeatureProvider& outputs) const {
    std::shared_ptr<MultiArray> audio = inputs.multiArray(kInputName);
    std::vector<float> converted;
    const float* samples = nullptr;
    if (audio->dataType() == MultiArrayDataType::Float32) {
        samples = static_cast<const float*>(audio->data());
    } else {
        converted = audio->toFloats();
        samples = converted.data();
    }
    std::vector<float> mel = logMel(samples);
    auto features = std::make_shared<MultiArray>(std::vector<int64_t>{1, melCount_, 1, frames_},
                                                 MultiArrayDataType::Float16);
    floatToHalf(mel.data(), static_cast<Float16*>(features->data()), mel.size());
    outputs.set(kOutputName, FeatureValue(std::move(features)));
}

} // namespace ml
