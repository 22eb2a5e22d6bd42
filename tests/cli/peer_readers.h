// zbar and zxing-cpp as readers of the pictures velmora-cli writes.
#pragma once

#define ZX_USE_UTF8 1

#include <zbar.h>

#include <ZXing/ReadBarcode.h>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace velmora::test {

// Texts zbar finds in an 8-bit grey picture, as it reports them.
inline std::vector<std::string> zbarTexts(const cv::Mat& grey) {
    const cv::Mat picture = grey.isContinuous() ? grey : grey.clone();
    std::unique_ptr<zbar::zbar_image_scanner_t, void (*)(zbar::zbar_image_scanner_t*)> scanner(
        zbar::zbar_image_scanner_create(), zbar::zbar_image_scanner_destroy);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    std::unique_ptr<zbar::zbar_image_t, void (*)(zbar::zbar_image_t*)> image(zbar::zbar_image_create(),
                                                                            zbar::zbar_image_destroy);
    zbar::zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image.get(), picture.cols, picture.rows);
    zbar::zbar_image_set_data(image.get(), picture.data, picture.total(), nullptr);
    zbar::zbar_scan_image(scanner.get(), image.get());
    std::vector<std::string> texts;
    for (const zbar::zbar_symbol_t* symbol = zbar::zbar_image_first_symbol(image.get()); symbol != nullptr;
         symbol = zbar::zbar_symbol_next(symbol))
        texts.emplace_back(zbar::zbar_symbol_get_data(symbol), zbar::zbar_symbol_get_data_length(symbol));
    return texts;
}

// zxing-cpp's reading of an 8-bit grey picture, its text in UTF-8.
inline ZXing::Result zxingRead(const cv::Mat& grey) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    return ZXing::ReadBarcode({grey.data, grey.cols, grey.rows, ZXing::ImageFormat::Lum, static_cast<int>(grey.step)},
                              hints);
}

}  // namespace velmora::test
