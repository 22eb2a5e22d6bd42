// The shared sample pictures with their expected texts, for the corpus test and the benchmark.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {

struct SamplePicture {
    std::string path;
    std::string category;              // "real/qrcode-1", "synthetic/blur", ...
    std::vector<std::string> expected;  // one text per symbol, UTF-8
};

// Where the samples are: $VELMORA_SAMPLES when set, else the shared folder beside the
// repository, else the workplace's shared folder; empty when none exists.
std::string sampleCorpusRoot();

// Every picture below root that has its expected text beside it; empty when root is absent.
std::vector<SamplePicture> loadSampleCorpus(const std::string& root);

// True when decoded bytes are the expected text: as UTF-8, or read through one of the legacy
// code pages a reader returns for Kanji, Hanzi or Latin-1 byte data.
bool sameText(std::string_view decoded, const std::string& expected);

// How many of the expected texts are among the decoded ones (each decoded text counts once).
int matchedTexts(const std::vector<std::string>& decoded, const std::vector<std::string>& expected);

}  // namespace velmora::test
