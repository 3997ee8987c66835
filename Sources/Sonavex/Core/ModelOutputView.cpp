#include "Sonavex/Core/ModelOutputView.h"

#include "Platform/ML/Values/DictionaryFeatureProvider.h"

namespace sonavex {

ModelOutputView::ModelOutputView(std::shared_ptr<const ml::FeatureProvider> features)
    : provider_(std::move(features)) {}

ModelOutputView::ModelOutputView(const std::string& name, std::shared_ptr<ml::MultiArray> array)
    : provider_(std::make_shared<ml::DictionaryFeatureProvider>(
          std::map<std::string, ml::FeatureValue>{{name, std::move(array)}})) {}

} // namespace sonavex
