// The module that holds OpenCV's image codecs, loaded by opencv_codecs.cpp the first time a
// picture needs them. Only the two entries below are visible; both catch everything, so no
// exception crosses the module's edge.
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "codecs/codec_module_entries.h"

extern "C" __attribute__((visibility("default"))) bool velmoraOpenCvDecode(const uint8_t* data, std::size_t size,
                                                                           cv::Mat* out, std::string* error) {
    try {
        const cv::Mat raw(1, static_cast<int>(size), CV_8UC1, const_cast<uint8_t*>(data));
        *out = cv::imdecode(raw, cv::IMREAD_UNCHANGED);
        return true;
    } catch (const cv::Exception& failure) {
        *error = failure.err;
    } catch (const std::exception& failure) {
        *error = failure.what();
    } catch (...) {
        *error = "the OpenCV decoder failed";
    }
    out->release();
    return false;
}

extern "C" __attribute__((visibility("default"))) bool velmoraOpenCvEncode(const char* extension,
                                                                           const cv::Mat* picture,
                                                                           const int* parameters,
                                                                           std::size_t parameterCount,
                                                                           std::vector<uint8_t>* out,
                                                                           std::string* error) {
    try {
        const std::vector<int> settings(parameters, parameters + parameterCount);
        if (cv::imencode(extension, *picture, *out, settings)) return true;
        *error = "the picture could not be encoded";
    } catch (const cv::Exception& failure) {
        *error = failure.err;
    } catch (const std::exception& failure) {
        *error = failure.what();
    } catch (...) {
        *error = "the OpenCV encoder failed";
    }
    out->clear();
    return false;
}
