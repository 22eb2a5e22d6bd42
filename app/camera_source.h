// What the camera reads from: the video devices of the system, or the source named in Config.ini.
//
// Video devices are the /dev/video* nodes whose driver can capture video. A UVC webcam creates
// two nodes, one for pictures and one for metadata; only the first is a camera. A configured
// source is a video file, a numbered picture sequence such as "frames/%03d.png", or the path of
// a device node.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// True when path names a V4L2 node whose device capabilities include video capture.
bool isVideoCaptureDevice(const std::string& path);

// The capture nodes video0, video1, ... found in directory, in the order of their numbers.
std::vector<std::string> captureDevicePaths(const std::string& directory = "/dev");

enum class CameraSourceKind {
    Device,           // a character device node: read live through V4L2
    PictureSequence,  // a printf-style pattern with one integer field: read picture by picture
    VideoFile,        // anything else: a video file read frame by frame
};

// How a configured source is read: a character device is a device, a path with a '%' field is a
// picture sequence, anything else a video file.
CameraSourceKind classifyCameraSource(const std::string& source);

}  // namespace velmora
