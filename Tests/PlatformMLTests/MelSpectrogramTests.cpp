#include <algorithm>
#include <cmath>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <numbers>
#include <random>
#include <vector>

#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Files/SafeTensorsFile.h"
#include "Support/TestSupport.h"

namespace {

constexpr int kRate = 16000;
constexpr int kFft = 400;
constexpr int kHop = 160;
constexpr int kBins = kFft / 2 + 1;
constexpr int kSamples = 480000;
constexpr int kFrames = kSamples / kHop;

// Slaney's mel scale as the published reference code states it: 3 mels per 200 Hz below 1 kHz,
// log-spaced above with 27 mels per factor 6.4.
double toMel(double hz) { return hz < 1000 ? 3 * hz / 200 : 15 + 27 * std::log(hz / 1000) / std::log(6.4); }
double toHz(double mel) { return mel < 15 ? 200 * mel / 3 : 1000 * std::pow(6.4, (mel - 15) / 27); }

std::vector<double> bandEdges(int mels) {
    std::vector<double> edges;
    for (int i = 0; i < mels + 2; ++i) {
        edges.push_back(toHz(toMel(kRate / 2.0) * i / (mels + 1)));
    }
    return edges;
}

// Triangles between neighbouring edges, each scaled to unit area over frequency (2 / width).
std::vector<std::vector<double>> slaneyBank(int mels) {
    const auto edges = bandEdges(mels);
    std::vector<std::vector<double>> bank(mels, std::vector<double>(kBins));
    for (int m = 0; m < mels; ++m) {
        for (int k = 0; k < kBins; ++k) {
            const double f = k * double(kRate) / kFft;
            double weight = 0;
            if (f > edges[m] && f <= edges[m + 1]) {
                weight = (f - edges[m]) / (edges[m + 1] - edges[m]);
            } else if (f > edges[m + 1] && f < edges[m + 2]) {
                weight = (edges[m + 2] - f) / (edges[m + 2] - edges[m + 1]);
            }
            bank[m][k] = weight * 2 / (edges[m + 2] - edges[m]);
        }
    }
    return bank;
}

// The whole front end in double precision, by the textbook: reflect-pad, Hann-windowed DFT, power, bank,
// log10, clamp, scale. Returns [mels][frames].
std::vector<std::vector<double>> referenceLogMel(const std::vector<float>& audio, int mels) {
    const auto bank = slaneyBank(mels);
    std::vector<double> cosTable(kFft), sinTable(kFft), window(kFft);
    for (int n = 0; n < kFft; ++n) {
        cosTable[n] = std::cos(2 * std::numbers::pi * n / kFft);
        sinTable[n] = std::sin(2 * std::numbers::pi * n / kFft);
        window[n] = 0.5 * (1 - cosTable[n]);
    }
    std::vector<double> padded(kSamples + kFft);
    for (int i = 0; i < kSamples + kFft; ++i) {
        int j = i - kFft / 2;
        j = j < 0 ? -j : (j >= kSamples ? 2 * kSamples - 2 - j : j);
        padded[i] = audio[j];
    }
    std::vector<std::vector<double>> out(mels, std::vector<double>(kFrames));
    std::vector<double> frame(kFft), power(kBins);
    double maximum = -1e300;
    for (int t = 0; t < kFrames; ++t) {
        for (int n = 0; n < kFft; ++n) {
            frame[n] = padded[t * kHop + n] * window[n];
        }
        for (int k = 0; k < kBins; ++k) {
            double re = 0, im = 0;
            for (int n = 0; n < kFft; ++n) {
                const int angle = (k * n) % kFft;
                re += frame[n] * cosTable[angle];
                im -= frame[n] * sinTable[angle];
            }
            power[k] = re * re + im * im;
        }
        for (int m = 0; m < mels; ++m) {
            double energy = 0;
            for (int k = 0; k < kBins; ++k) {
                energy += bank[m][k] * power[k];
            }
            out[m][t] = std::log10(std::max(energy, 1e-10));
            maximum = std::max(maximum, out[m][t]);
        }
    }
    for (auto& row : out) {
        for (double& value : row) {
            value = (std::max(value, maximum - 8) + 4) / 4;
        }
    }
    return out;
}

class MelSpectrogram : public testing::TestWithParam<int> {
protected:
    std::shared_ptr<ml::Model> load(int mels) {
        const auto folder = temporary / "MelSpectrogram.mlmodelc";
        ml::MelSpectrogramModel::writer(mels).writeCompiled(folder);
        return ml::Model::load(folder);
    }

    static std::vector<float> melOf(const ml::Model& model, const std::vector<float>& audio) {
        ml::DictionaryFeatureProvider input;
        input.set("audio", ml::FeatureValue(std::make_shared<ml::MultiArray>(ml::MultiArray::fromFloats({kSamples}, audio))));
        auto features = model.predict(input)->multiArray("melspectrogram_features");
        EXPECT_EQ(features->dataType(), ml::MultiArrayDataType::Float16);
        return features->toFloats();
    }

    testsupport::TemporaryDirectory temporary;
};

std::vector<float> tone(double hz, double amplitude) {
    std::vector<float> audio(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        audio[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * i / kRate));
    }
    return audio;
}

} // namespace

TEST_P(MelSpectrogram, StoredFilterBankIsTheSlaneyBank) {
    const int mels = GetParam();
    load(mels);
    auto weights = ml::SafeTensorsFile::open(temporary / "MelSpectrogram.mlmodelc" / "weights.safetensors");
    const auto stored = weights->array("mel_filters", {mels, kBins}).toFloats();
    const auto bank = slaneyBank(mels);
    for (int m = 0; m < mels; ++m) {
        for (int k = 0; k < kBins; ++k) {
            ASSERT_NEAR(stored[m * kBins + k], bank[m][k], 1e-6 * std::max(1.0, std::fabs(bank[m][k]) * 1e3))
                << m << "," << k;
        }
    }
}

TEST_P(MelSpectrogram, OneKilohertzToneLightsTheBandsAroundOneKilohertz) {
    const int mels = GetParam();
    auto model = load(mels);
    const auto mel = melOf(*model, tone(1000, 0.5));
    ASSERT_EQ(mel.size(), static_cast<std::size_t>(mels * kFrames));
    const auto edges = bandEdges(mels);
    // Frames away from the reflect-padded edges, where the tone is steady.
    for (int frame : {3, 1500, kFrames - 4}) {
        int best = 0;
        for (int m = 1; m < mels; ++m) {
            if (mel[m * kFrames + frame] > mel[best * kFrames + frame]) {
                best = m;
            }
        }
        EXPECT_LT(edges[best], 1000.0) << "frame " << frame;
        EXPECT_GT(edges[best + 2], 1000.0) << "frame " << frame;
        // A band around 4 kHz holds next to nothing: more than four decades (1.0 after scaling) below.
        int far = 0;
        while (edges[far + 1] < 4000.0) {
            ++far;
        }
        EXPECT_GT(mel[best * kFrames + frame] - mel[far * kFrames + frame], 1.0) << "frame " << frame;
    }
}

TEST_P(MelSpectrogram, MatchesADoublePrecisionReference) {
    const int mels = GetParam();
    auto model = load(mels);
    std::vector<float> audio = tone(1000, 0.3);
    std::mt19937 random(11);
    std::normal_distribution<float> noise(0.0f, 0.02f);
    for (int i = 0; i < kSamples; ++i) {
        audio[i] += noise(random) + static_cast<float>(0.1 * std::sin(2 * std::numbers::pi * 440.0 * i / kRate));
    }
    std::fill(audio.begin() + 200000, audio.begin() + 232000, 0.0f); // two seconds of silence
    const auto mel = melOf(*model, audio);
    const auto reference = referenceLogMel(audio, mels);
    double worst = 0;
    for (int m = 0; m < mels; ++m) {
        for (int t = 0; t < kFrames; ++t) {
            worst = std::max(worst, std::fabs(mel[m * kFrames + t] - reference[m][t]));
        }
    }
    EXPECT_LT(worst, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Bands, MelSpectrogram, testing::Values(80, 128));

TEST(MelSpectrogramModel, AcceptsOtherElementTypesAndRefusesWrongDescriptions) {
    testsupport::TemporaryDirectory temporary;
    const auto folder = temporary / "MelSpectrogram.mlmodelc";
    ml::MelSpectrogramModel::writer(80).writeCompiled(folder);
    auto model = ml::Model::load(folder);
    const auto audio = tone(440, 0.25);
    ml::DictionaryFeatureProvider asFloat, asHalf;
    asFloat.set("audio", ml::FeatureValue(std::make_shared<ml::MultiArray>(ml::MultiArray::fromFloats({kSamples}, audio))));
    asHalf.set("audio", ml::FeatureValue(std::make_shared<ml::MultiArray>(
                            ml::MultiArray::fromFloats({kSamples}, audio, ml::MultiArrayDataType::Float16))));
    auto fromFloat = model->predict(asFloat)->multiArray("melspectrogram_features")->toFloats();
    auto fromHalf = model->predict(asHalf)->multiArray("melspectrogram_features")->toFloats();
    double worst = 0;
    for (std::size_t i = 0; i < fromFloat.size(); ++i) {
        worst = std::max(worst, double(std::fabs(fromFloat[i] - fromHalf[i])));
    }
    EXPECT_LT(worst, 0.01); // only the input's rounding differs

    ml::ModelWriter wrong = ml::MelSpectrogramModel::writer(80);
    wrong.parameters().set("n_mels", int64_t{128});
    wrong.writeCompiled(folder);
    try {
        ml::Model::load(folder);
        FAIL();
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("melspectrogram_features"), std::string::npos) << error.what();
    }
}

TEST(MelSpectrogramModel, WindowsRunAtOnceGiveTheSameFeaturesAsOneByOne) {
    testsupport::TemporaryDirectory temporary;
    const auto folder = temporary / "MelSpectrogram.mlmodelc";
    ml::MelSpectrogramModel::writer(128).writeCompiled(folder);
    auto model = ml::Model::load(folder);
    std::vector<std::shared_ptr<ml::DictionaryFeatureProvider>> inputs;
    std::vector<ml::MultiArray> serial;
    for (int w = 0; w < 4; ++w) {
        auto input = std::make_shared<ml::DictionaryFeatureProvider>();
        input->set("audio", ml::FeatureValue(std::make_shared<ml::MultiArray>(
                                ml::MultiArray::fromFloats({kSamples}, tone(300.0 + 700.0 * w, 0.2)))));
        serial.push_back(*model->predict(*input)->multiArray("melspectrogram_features"));
        inputs.push_back(std::move(input));
    }
    std::vector<std::future<std::shared_ptr<ml::FeatureProvider>>> running;
    for (int round = 0; round < 2; ++round) {
        for (const auto& input : inputs) {
            running.push_back(model->predictAsync(input));
        }
    }
    for (std::size_t i = 0; i < running.size(); ++i) {
        EXPECT_EQ(*running[i].get()->multiArray("melspectrogram_features"), serial[i % serial.size()]) << i;
    }
}
