// The shared sample pictures with their expected texts, for the corpus test and the benchmark.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {

struct SamplePicture {
    std::string path;
    std::string category;              // "real/qrcode-1", "synthetic/blur", "bright_spots", ...
    std::vector<std::string> expected;  // one text per symbol, UTF-8; empty when only counted
    int symbols = 0;                    // symbols in the picture
    // Where the symbols lie, when the picture is labelled so (NAME.corners): four corners
    // each, x then y, in the file's stored pixel order, and the EXIF orientation that turns
    // the stored pixels upright (1 when none).
    std::vector<std::array<float, 8>> quads;
    int orientation = 1;
};

// One symbol a reader read: its text and the centre of its corners in the upright picture.
struct ReadAt {
    std::string text;
    float x = 0;
    float y = 0;
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

// Scores reads of a picture shown upright at width by height pixels: where the picture's
// symbols are labelled by their corners, each read counts for the labelled symbol nearest its
// centre, when that centre lies within the symbol's reach (its centre to its farthest corner)
// and no read counted for it before, so a sheet of symbols with the same texts scores each;
// otherwise as scoreTexts scores the texts.
PictureScore scoreReads(const std::vector<ReadAt>& reads, const SamplePicture& picture, int width, int height);

}  // namespace velmora::test
