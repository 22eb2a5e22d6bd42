#include "ornament/ornament_check.h"

#include <exception>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <string>

#include "engine/velmora_engine.h"
#include "ornament/ornament_composer.h"

namespace velmora {
namespace {

// Puts the process-wide decode records back as they were however the scope is left.
class DecodeRecordsKept {
public:
    DecodeRecordsKept() : decoded_(g_QrDecodedData), meaning_(g_QrTextMeaning) {}
    ~DecodeRecordsKept() {
        g_QrDecodedData = decoded_;
        g_QrTextMeaning = meaning_;
    }
    DecodeRecordsKept(const DecodeRecordsKept&) = delete;
    DecodeRecordsKept& operator=(const DecodeRecordsKept&) = delete;

private:
    C_QrDecodedData decoded_;
    C_QrTextMeaning meaning_;
};

// What identifies a read symbol: its bytes and how it was encoded.
struct SymbolRead {
    int version = 0, level = -1, mask = -1;
    std::string bytes;
    bool operator==(const SymbolRead&) const = default;
};

// The part of the picture that lies within margin pixels of rect, with white where that
// reaches beyond the picture.
cv::Mat surroundingsOf(const cv::Mat& picture, const PixelRect& rect, int margin) {
    const cv::Rect wanted(rect.left - margin, rect.top - margin, rect.width() + 2 * margin, rect.height() + 2 * margin);
    const cv::Rect inside = wanted & cv::Rect(0, 0, picture.cols, picture.rows);
    cv::Mat framed;
    cv::copyMakeBorder(picture(inside), framed, inside.y - wanted.y, wanted.br().y - inside.br().y,
                       inside.x - wanted.x, wanted.br().x - inside.br().x, cv::BORDER_CONSTANT, cv::Scalar::all(255));
    return framed;
}

// The first symbol the reader finds in the 8-bit grey picture; nothing when none.
std::optional<SymbolRead> readFirstSymbol(const cv::Mat& grey) {
    // The reader takes rows one after the other without padding.
    cv::Mat rows = grey.isContinuous() ? grey : grey.clone();
    if (QR_Decode_Matrix(0, rows.data, rows.cols, rows.rows, 1, 0, nullptr) < 1) return std::nullopt;
    const C_QrDecodedData& record = g_QrDecodedData;
    return SymbolRead{record.nVersion[0], record.nLevel[0], record.nMaskingNo[0],
                      std::string(record.sParseStr[0], static_cast<size_t>(record.nParseStrLen[0]))};
}

}  // namespace

bool ornamentScans(const OrnamentComposer& composer, int scale) {
    const cv::Mat& canvas = composer.canvas();
    const cv::Mat& symbolImage = composer.symbolImage();
    const PixelRect& symbolRect = composer.symbolRect();
    if (canvas.empty() || canvas.type() != CV_8UC3 || symbolImage.empty() || symbolImage.type() != CV_8UC1 ||
        symbolImage.cols != symbolRect.width() || symbolImage.rows != symbolRect.height() || scale < 1)
        return false;
    const DecodeRecordsKept kept;
    const int margin = kCheckQuietModules * scale;
    try {
        const PixelRect whole = PixelRect::at(0, 0, symbolImage.cols, symbolImage.rows);
        const std::optional<SymbolRead> drawn = readFirstSymbol(surroundingsOf(symbolImage, whole, margin));
        if (!drawn) return false;
        cv::Mat grey;
        cv::cvtColor(surroundingsOf(canvas, symbolRect, margin), grey, cv::COLOR_BGR2GRAY);
        return readFirstSymbol(grey) == drawn;
    } catch (const std::exception&) {
        // No memory for the framed copies: nothing was read.
        return false;
    }
}

}  // namespace velmora
