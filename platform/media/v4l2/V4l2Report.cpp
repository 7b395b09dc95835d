#include "platform/media/v4l2/V4l2Report.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <linux/videodev2.h>
#include <map>

#include "platform/media/v4l2/V4l2Controls.h"
#include "platform/media/v4l2/V4l2Formats.h"
#include "platform/media/v4l2/V4l2Io.h"
#include "platform/media/v4l2/V4l2Provider.h"

namespace {

std::string Printf(const char* format, auto... args) {
  char line[512];
  std::snprintf(line, sizeof line, format, args...);
  return line;
}

std::string Rate(REFERENCE_TIME interval) {
  const double fps = static_cast<double>(UNITS) / static_cast<double>(interval);
  return std::abs(fps - std::round(fps)) < 0.01 ? Printf("%.0f", fps) : Printf("%.2f", fps);
}

std::string Controls(const V4l2Controls& controls) {
  std::string text;
  for (const V4l2Controls::Entry& e : controls.Entries())
    text += Printf("    %s: %ld..%ld step %ld, default %ld%s\n", e.name.c_str(), e.min, e.max,
                   e.step, e.defaultValue, e.autoId ? ", automatic mode" : "");
  return text;
}

}  // namespace

std::string DescribeV4l2Cameras(std::shared_ptr<V4l2Io> io) {
  if (!io) io = DefaultV4l2Io();
  if (!io) return "no cameras found\n";
  V4l2Provider provider(io);
  const std::vector<V4l2Camera> cameras = provider.Scan();
  if (cameras.empty()) return "no cameras found\n";
  std::string text;
  for (const V4l2Camera& camera : cameras) {
    if (!text.empty()) text += "\n";
    text += camera.card + "\n";
    text += "  node: " + camera.node + "\n";
    text +=
        "  identity: " +
        (camera.stableName.empty() ? camera.busInfo + " (no by-path link)" : camera.stableName) +
        "\n";
    text += "  driver: " + camera.driver + ", bus: " + camera.busInfo + "\n";
    const int fd = io->Open(camera.node);
    if (fd < 0) {
      text += Printf("  cannot open: %s\n", strerror(-fd));
      continue;
    }
    std::vector<std::string> skipped;
    const std::vector<V4l2Capability> caps = ReadCapabilities(*io, fd, camera.node, &skipped);
    text += "  formats:\n";
    if (caps.empty()) text += "    none Frostwipe can convert\n";
    for (const V4l2Capability& cap : caps) {
      std::string rates;
      for (REFERENCE_TIME interval : cap.intervals)
        rates += (rates.empty() ? "" : ", ") + Rate(interval);
      text += Printf("    %s %dx%d: %s fps\n", FourccText(cap.pixelformat).c_str(), cap.width,
                     cap.height, rates.c_str());
    }
    for (const std::string& name : skipped) text += "    " + name + ": not supported, left out\n";
    const V4l2Controls procAmp(io, fd, camera.node, V4l2Controls::Interface::VideoProcAmp);
    const V4l2Controls cameraControl(io, fd, camera.node, V4l2Controls::Interface::CameraControl);
    text += "  controls:\n";
    if (procAmp.Empty() && cameraControl.Empty()) text += "    none\n";
    text += Controls(procAmp) + Controls(cameraControl);
    io->Close(fd);
  }
  return text;
}
