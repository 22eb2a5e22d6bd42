// The shared sample pictures with their expected texts, for the corpus test and the benchmark.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {

struct SamplePicture {
    std::string path;
    std::string category;              // "real/qrcode-1", "synthetic/blur", "bright_spots", ...
    std::vector<std::string> expected;  // one text per symbol, UTF-8; empty when only counted
    int symbols = 0;                    // symbols in the picture
};

// What a reader's texts score on one picture: symbols read and texts that are not in it.
struct PictureScore {
    int read = 0;
    int falseTexts = 0;
};

// Where the samples are: $VELMORA_SAMPLES when set, else the shared folder beside the
// repository, else the workplace's shared folder; empty when none exists.
std::string sampleCorpusRoot();

// Where the BoofCV photographs are: $VELMORA_BOOFCV when set, else the shared folder beside the
// repository, else the workplace's; empty when none exists.
std::string boofcvCorpusRoot();

// Every picture below root that has its expected text (NAME.txt) or only its symbol count
// (NAME.count, as the BoofCV photographs are labelled) beside it; empty when root is absent.
std::vector<SamplePicture> loadSampleCorpus(const std::string& root);

// True when decoded bytes are the expected text: as UTF-8, or read through one of the legacy
// code pages a reader returns for Kanji, Hanzi or Latin-1 byte data.
bool sameText(std::string_view decoded, const std::string& expected);

// How many of the expected texts are among the decoded ones (each decoded text counts once).
int matchedTexts(const std::vector<std::string>& decoded, const std::vector<std::string>& expected);

// Scores decoded texts: against the expected texts where the picture has them (each matches
// once, any other text is false); where only the count is known, each distinct text counts,
// up to the count, and none is false.
PictureScore scoreTexts(const std::vector<std::string>& decoded, const SamplePicture& picture);

}  // namespace velmora::test
