#include "engine/decode/decode_driver.h"

#include <algorithm>

#include <opencv2/core/mat.hpp>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/segment_parser.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/decoded_symbols.h"
#include "engine/decode/pass_preparation.h"
#include "engine/decode/pass_search.h"
#include "engine/decode/pure_symbol.h"
#include "engine/decode/reach_stages.h"
#include "engine/decode/repeated_passes.h"
#include "engine/decode/symbol_attempts.h"
#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/line_runs.h"
#include "engine/image/binarization.h"
#include "engine/image/picture_loading.h"
#include "engine/velmora_engine.h"

namespace velmora {
namespace {

// Pictures with both sides below this are enlarged when a request falls short.
constexpr int kEnlargeBelow = 320;
constexpr float kMaxEnlargement = 2.0f;

RequestSummary summary;

int symbolCount() { return decodedCount(); }

bool requestSatisfied() { return symbolCount() >= wantedCount(); }

// The rasters one request creates, released on every way out.
struct RequestRasters {
    Raster* matrixView = nullptr;
    Raster* greyView = nullptr;
    bool ownsGreyView = false;
    Raster* enlarged = nullptr;
    Raster* mask = nullptr;

    ~RequestRasters() {
        setModuleMatrixView(nullptr);
        setDecodedAreaMask(nullptr);
        releaseRasterView(matrixView);
        if (ownsGreyView) releaseRasterView(greyView);
        destroyRaster(enlarged);
        destroyRaster(mask);
    }

    void useMask(Raster* newMask) {
        mask = newMask;
        setDecodedAreaMask(newMask);
    }
};

// Runs the passes in order until the request is satisfied or the budget is spent, each
// prepared on the second thread while the one before is searched.
void runSchedule(const Raster& grey) {
    RepeatedPasses repeats;
    PassPreparation preparation(grey, wantedCount() > 1 || isEnlarged() ? 0 : kFirstPreparedAhead);
    for (int n = 0; n < static_cast<int>(kSchedule.size()); ++n) {
        if (budgetSpent()) return;
        // The first pass is left out of the record of repeats: a request that it satisfies
        // spends nothing on the record.
        if (searchPass(preparation.take(n), n == 0 ? nullptr : &repeats) == PassSearch::Skipped) {
            ++summary.repeatedPasses;
        }
        preparation.giveBack(n);
        ++summary.passes;
        if (requestSatisfied()) return;
    }
}

// Enlarges a small picture that did not give every wanted symbol and searches it again; the
// mask of symbols already read follows the picture, so they are not read twice.
void retryEnlarged(const Raster& grey, RequestRasters& rasters) {
    const int height = grey.height;
    const int width = grey.width;
    float f = static_cast<float>(kEnlargeBelow) / static_cast<float>(height);
    const float g = static_cast<float>(kEnlargeBelow) / static_cast<float>(width);
    f = std::max(f, g);
    if (f > kMaxEnlargement) f = kMaxEnlargement;
    const int newHeight = static_cast<int>(static_cast<float>(height) * f + 0.5f);
    const int newWidth = static_cast<int>(static_cast<float>(width) * f + 0.5f);

    rasters.enlarged = createRaster(newHeight, newWidth, kRasterByte);
    if (rasters.enlarged == nullptr || resampleBilinear(&grey, rasters.enlarged, 1) != 1) return;

    Raster* oldMask = rasters.mask;
    Raster* newMask = createRaster(newHeight, newWidth, kRasterByte);
    if (symbolCount() > 0) {
        rasters.useMask(newMask);
        if (newMask == nullptr || resampleBilinear(oldMask, newMask, 1) != 1) {
            destroyRaster(oldMask);
            return;
        }
    } else if (newMask != nullptr) {
        clearRaster(*newMask);
        rasters.useMask(newMask);
    } else {
        rasters.useMask(nullptr);
    }
    destroyRaster(oldMask);
    if (rasters.mask == nullptr) return;
    // The new mask was filled after it was handed over.
    noteDecodedAreaChanged();

    setEnlargement(true, f);
    summary.enlargement = f;
    runSchedule(*rasters.enlarged);
}

}  // namespace

const RequestSummary& lastRequestSummary() { return summary; }

namespace {

// True when a raster handed in by a caller holds bytes, has a row table, and is as wide and as
// tall as the call states.
bool isCallerRasterUsable(const Raster& raster, int width, int height) {
    return rasterElementSize(raster.elementType) == 1 && raster.rows != nullptr && raster.width == width &&
           raster.height == height;
}

}  // namespace

int decodeGreyPicture(int iBufType, void* src, int iImgWidth, int iImgHeight, int wanted, int iDecodeUTF8) {
    setEnlargement(false, 1.0f);
    setAngleThresholds(kAcuteAngleLimit, kObtuseAngleLimit);
    wanted = std::clamp(wanted, 1, kMostWantedSymbols);
    beginDecodeRequest(std::min(wanted, kScheduledSymbols), iDecodeUTF8 != 0);
    summary = RequestSummary{};

    RequestRasters rasters;
    rasters.matrixView = viewBufferAsRaster(processDecoder().sampledCopy(), kMatrixStride, kMatrixStride,
                                            kMatrixStride);
    if (rasters.matrixView == nullptr) return 0;
    setModuleMatrixView(rasters.matrixView);

    clearFinderExclusionBoxes();
    decodedSymbols().begin(wanted);
    if (src == nullptr || iImgWidth <= 20 || iImgHeight <= 20) return 0;

    rasters.useMask(createRaster(iImgHeight, iImgWidth, kRasterByte));
    if (rasters.mask == nullptr) return 0;
    clearRaster(*rasters.mask);
    noteDecodedAreaChanged();

    switch (iBufType) {
    case kPixelsRowTable:
        rasters.greyView = viewRowTableAsRaster(static_cast<uint8_t**>(src), iImgHeight, iImgWidth);
        rasters.ownsGreyView = true;
        break;
    case kPixelsRaster:
        // A caller's raster is read only when it is what the call says it is.
        if (!isCallerRasterUsable(*static_cast<const Raster*>(src), iImgWidth, iImgHeight)) return 0;
        rasters.greyView = static_cast<Raster*>(src);
        break;
    default:
        rasters.greyView = viewBufferAsRaster(static_cast<uint8_t*>(src), iImgHeight, iImgWidth, iImgWidth);
        rasters.ownsGreyView = true;
        break;
    }
    if (rasters.greyView == nullptr) return 0;

    runSchedule(*rasters.greyView);
    if (!requestSatisfied() && !budgetSpent() && iImgHeight < kEnlargeBelow && iImgWidth < kEnlargeBelow) {
        retryEnlarged(*rasters.greyView, rasters);
    }
    setEnlargement(false, 1.0f);
    // A crisp symbol drawn at a pixel or two per module gives the finder search nothing to hold.
    if (symbolCount() == 0 && readPureSymbol(*rasters.greyView, iDecodeUTF8 != 0 ? 1 : 0) > 0) return symbolCount();
    runReachStages(*rasters.greyView, rasters.mask, summary.reachReads, wanted);
    return symbolCount();
}

}  // namespace velmora

using namespace velmora;

int QR_Decode_Matrix(int iBufType, void* src, int iImgWidth, int iImgHeight, int iQrMsg_Max, int iDecodeUTF8,
                     C_QrDecodedDataPublished* /*p_QrDecodedData*/) {
    const int count = decodeGreyPicture(iBufType, src, iImgWidth, iImgHeight, std::clamp(iQrMsg_Max, 1, 4), iDecodeUTF8);
    decodedSymbols().publish(g_QrDecodedData, g_QrTextMeaning);
    return count;
}

namespace velmora {

int decodePictureFile(const char* path, int wanted, int iDecodeUTF8) {
    if (path == nullptr) return -1;
    cv::Mat image;
    if (loadPictureFile(path, image, kLoadGrey) != 1) return -1;
    Raster* view = viewImageAsRaster(&image);
    if (view == nullptr) return -1;
    const int count = decodeGreyPicture(kPixelsRaster, view, image.cols, image.rows, wanted, iDecodeUTF8);
    releaseRasterView(view);
    return count;
}

}  // namespace velmora

int QR_Decode_File(const char* FilePath, int iQrMsg_Max, int iDecodeUTF8, C_QrDecodedDataPublished* /*p_QrDecodedData*/) {
    const int count = decodePictureFile(FilePath, std::clamp(iQrMsg_Max, 1, 4), iDecodeUTF8);
    if (count < 0) return 0;
    decodedSymbols().publish(g_QrDecodedData, g_QrTextMeaning);
    return count;
}
