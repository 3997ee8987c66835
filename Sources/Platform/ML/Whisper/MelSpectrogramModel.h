#pragma once
// The "mel_spectrogram" model kind: one window of 16 kHz audio to the log-mel features the encoder reads.
// Input "audio" Float32 [n_samples]; output "melspectrogram_features" Float16 [1, n_mels, 1, n_samples / hop].
// Periodic Hann window, centred reflect-padded STFT (n_fft 400, hop 160), power spectrum, the stored
// filter bank "mel_filters" [n_mels, n_fft / 2 + 1], log10 floored at 1e-10, clamped to max - 8, (x + 4) / 4;
// the last STFT frame is dropped. The DFT is a matrix product against precomputed windowed cos/sin tables.

#include <cstdint>
#include <vector>

#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelKind.h"
#include "Platform/ML/Files/ModelWriter.h"

namespace ml {

class MelSpectrogramModel : public ModelKind {
public:
    static constexpr const char* kKind = "mel_spectrogram";
    static constexpr const char* kInputName = "audio";
    static constexpr const char* kOutputName = "melspectrogram_features";
    static constexpr const char* kFiltersName = "mel_filters";

    explicit MelSpectrogramModel(const ModelFolder& folder);

    /// A writer for a standard mel model (16 kHz, n_fft 400, hop 160) carrying the real Slaney filter bank.
    static ModelWriter writer(int64_t melCount, int64_t sampleCount = 480000);

    void predict(const FeatureProvider& inputs, const PredictionOptions& options,
                 DictionaryFeatureProvider& outputs) const override;

    /// The log-mel features of `samples` (n_samples floats) as float, [n_mels, frames] row-major.
    std::vector<float> logMel(const float* samples) const;

private:
    int64_t samples_;
    int64_t fftSize_;
    int64_t hop_;
    int64_t melCount_;
    int64_t bins_;
    int64_t frames_;
    std::vector<float> basis_;   // [fftSize, 2 * bins]: window * cos, window * -sin
    std::vector<float> filters_; // [melCount, bins]
};

} // namespace ml
