#include "Platform/ML/Files/ModelWriter.h"

#include "Platform/ML/Files/AtomicFileWriter.h"
#include "Platform/ML/Model/ModelCompiler.h"
#include "Platform/ML/Files/ModelFolder.h"

namespace fs = std::filesystem;

namespace ml {

void ModelWriter::writeCompiled(const fs::path& folder) const {
    writeFiles(folder / ModelFolder::kDescriptionFileName, folder / ModelFolder::kWeightsFileName);
}

void ModelWriter::writePackage(const fs::path& folder) const {
    writeFiles(folder / ModelCompiler::kPackageDescriptionPath, folder / ModelCompiler::kPackageWeightsPath);
}

void ModelWriter::writeFiles(const fs::path& descriptionFile, const fs::path& weightsFile) const {
    fs::create_directories(descriptionFile.parent_path());
    weights_.write(weightsFile);
    AtomicFileWriter::writeFile(descriptionFile, ModelFolder::descriptionJson(kind_, parameters_, description_));
}

} // namespace ml
