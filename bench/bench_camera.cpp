// The camera's cost per 640 x 480 frame: the decode that every timer tick runs with four symbols
// wanted, on frames without a symbol (the usual case while the user brings one into view), with
// one turned and blurred symbol, and with two; and the preview step (grab from an MJPG video and
// copy into the preview bitmap). Reported in milliseconds per frame. Last, the main window itself
// grabbing from a 640 x 480 MJPG video on the offscreen platform: previews and decoded frames per
// second, for frames without a symbol and with two (one would end grabbing at once).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>

#include <QAction>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "app/camera_device.h"
#include "app/camera_flags.h"
#include "app/camera_frame_decode.h"
#include "app/camera_preview.h"
#include "app/camera_worker.h"
#include "app/main_window.h"
#include "app/velmora_application.h"
#include "engine/velmora_engine.h"

namespace {

using namespace velmora;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A desk seen by a webcam: shaded ground, a few dark and light shapes, sensor noise.
cv::Mat deskScene(unsigned seed) {
    cv::Mat scene(kHeight, kWidth, CV_8UC3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int level = 90 + 80 * x / kWidth + 40 * y / kHeight;
            scene.at<cv::Vec3b>(y, x) = cv::Vec3b(level, level + 5, level + 10);
        }
    }
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> px(0, kWidth - 80), py(0, kHeight - 80), size(10, 80), shade(0, 255);
    for (int i = 0; i < 14; ++i) {
        cv::rectangle(scene, cv::Rect(px(random), py(random), size(random), size(random)),
                      cv::Scalar::all(shade(random)), cv::FILLED);
    }
    cv::Mat noise(scene.size(), CV_8UC3);
    cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(6));
    cv::add(scene, noise, scene);
    return scene;
}

// Places a symbol of text, modules of 4 pixels, turned by angle degrees and softened as by a
// lens slightly out of focus, with its centre at centre.
void placeSymbol(cv::Mat& scene, const std::string& text, cv::Point2f centre, double angle) {
    int version = 0;
    int mask = -1;
    QR_Encode_Matrix(1, &version, 1, &mask, text.data(), static_cast<int>(text.size()), nullptr);
    const int n = g_QrEncodedData.iEncoded_WH;
    const int module = 4;
    const int side = (n + 8) * module;
    cv::Mat symbol(side, side, CV_8UC3, cv::Scalar::all(230));
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (g_QrEncodedData.byEncoded_Data[r][c] == 0) {
                cv::rectangle(symbol, cv::Rect((c + 4) * module, (r + 4) * module, module, module),
                              cv::Scalar::all(30), cv::FILLED);
            }
        }
    }
    cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(side / 2.0f, side / 2.0f), angle, 1.0);
    turn.at<double>(0, 2) += centre.x - side / 2.0;
    turn.at<double>(1, 2) += centre.y - side / 2.0;
    cv::Mat mask8(side, side, CV_8UC1, cv::Scalar(255));
    cv::Mat placed, placedMask;
    cv::warpAffine(symbol, placed, turn, scene.size(), cv::INTER_LINEAR);
    cv::warpAffine(mask8, placedMask, turn, scene.size(), cv::INTER_NEAREST);
    placed.copyTo(scene, placedMask);
    cv::GaussianBlur(scene, scene, cv::Size(3, 3), 0.8);
}

cv::Mat frameWithSymbols(int count) {
    cv::Mat scene = deskScene(7);
    if (count == 1) placeSymbol(scene, "https://velmora.example/camera/0001", {320, 240}, 12.0);
    if (count == 2) {
        placeSymbol(scene, "LEFT SYMBOL 0001", {170, 240}, -8.0);
        placeSymbol(scene, "RIGHT SYMBOL 0002", {470, 240}, 15.0);
    }
    return scene;
}

// One timer tick's decode; the label says how many symbols were read.
void BM_DecodeCameraFrame(benchmark::State& state) {
    const int symbols = static_cast<int>(state.range(0));
    const cv::Mat frame = frameWithSymbols(symbols);
    int read = 0;
    for (auto _ : state) {
        read = decodeFrameSymbols(frame, 4);
        benchmark::DoNotOptimize(read);
    }
    state.SetLabel(std::to_string(symbols) + " shown, " + std::to_string(read) + " read");
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeCameraFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// One preview step from an MJPG video: grab, decompress, copy into the bitmap.
void BM_PreviewStep(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string video = folder + "/clip.avi";
    {
        cv::VideoWriter writer(video, cv::CAP_OPENCV_MJPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 30.0,
                               cv::Size(kWidth, kHeight));
        for (int k = 0; k < 60; ++k) writer.write(frameWithSymbols(k % 2));
    }
    CameraFlags flags;
    CCameraDS camera;
    camera.setSource(video);
    QImage bitmap;
    for (auto _ : state) {
        if (!camera.Connected() || runPreviewStep(flags, camera, &bitmap) != PreviewOutcome::Shown) {
            state.PauseTiming();
            camera.Open(0, kWidth, kHeight);
            state.ResumeTiming();
        }
    }
    camera.Close();
    std::filesystem::remove_all(folder);
    state.counters["previews_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                          benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PreviewStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs the window's events for span.
void runEventsFor(std::chrono::milliseconds span) {
    const QDeadlineTimer deadline(static_cast<qint64>(span.count()));
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// The main window grabbing for three seconds per iteration from a video of frames with no symbol
// or with two, four symbols wanted. Counts the preview steps of the worker and the ticks of the
// camera timer, each of which decodes one frame.
void BM_WindowGrabbing(benchmark::State& state) {
    const int symbols = static_cast<int>(state.range(0));
    QTemporaryDir home;
    qputenv("VELMORA_HOME", QFile::encodeName(home.path()));
    const QString video = home.filePath(QStringLiteral("clip.avi"));
    {
        cv::VideoWriter writer(QFile::encodeName(video).toStdString(), cv::CAP_OPENCV_MJPEG,
                               cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 30.0, cv::Size(kWidth, kHeight));
        const cv::Mat frame = frameWithSymbols(symbols);
        for (int k = 0; k < 200; ++k) writer.write(frame);
    }
    QFile config(home.filePath(QStringLiteral("Config.ini")));
    if (!config.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write Config.ini");
        return;
    }
    config.write("[camera]\r\nsSource=" + QFile::encodeName(video) + "\r\n[decode]\r\niQrMsg_Max=4\r\n");
    config.close();

    TForm1 window;
    window.show();
    auto* cameraCommand = window.findChild<QAction*>(QStringLiteral("N_Cam"));
    auto* grabCommand = window.findChild<QAction*>(QStringLiteral("N_CamGrab"));
    auto* timer = window.findChild<QTimer*>(QStringLiteral("TimerCam"));
    long long ticks = 0;
    QObject::connect(timer, &QTimer::timeout, [&ticks] { ++ticks; });
    long long previews = 0;
    double seconds = 0;
    bool ended = false;
    for (auto _ : state) {
        cameraCommand->trigger();  // on: the video starts over
        if (!window.CameraConnected()) {
            state.SkipWithError("the camera did not open");
            break;
        }
        const long long previewsBefore = window.cameraWorker()->PreviewSteps();
        const auto start = std::chrono::steady_clock::now();
        grabCommand->trigger();
        runEventsFor(std::chrono::milliseconds(3000));
        ended = ended || !timer->isActive();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        previews += window.cameraWorker()->PreviewSteps() - previewsBefore;
        grabCommand->trigger();
        cameraCommand->trigger();  // off
    }
    state.counters["previews_per_s"] = static_cast<double>(previews) / seconds;
    state.counters["decodes_per_s"] = static_cast<double>(ticks) / seconds;
    state.SetLabel(std::to_string(symbols) + " shown" + (ended ? ", grabbing ended early" : ""));
    qunsetenv("VELMORA_HOME");
}
BENCHMARK(BM_WindowGrabbing)->Arg(0)->Arg(2)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The window benchmark needs the program's application object; the others run without a screen.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    velmora::VelmoraApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
