// Stream capabilities of a PipeWire camera node, read from its EnumFormat parameters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/v4l2/V4l2Formats.h"

struct spa_pod;
struct spa_pod_builder;

// A PipeWire capability is a V4l2Capability whose pixelformat holds the SPA video format
// (kPipeWireMjpeg for MJPEG). Frames are delivered packed (rows without padding), RGB as
// bottom-up RGB24 bitmaps, so bytesPerLine stays 0.
inline constexpr std::uint32_t kPipeWireMjpeg = 0xFFFF0001u;

// Adds the capabilities one EnumFormat parameter stands for: one per discrete size, the
// handful SampleSizes gives for a size range; each with its frame rates (the default first).
// Formats the framework cannot convert are named in *skipped.
void AddEnumFormat(const spa_pod* param, std::vector<V4l2Capability>* caps,
                   std::vector<std::string>* skipped);

// The exact format to connect a stream with: one format, one size, one frame rate.
const spa_pod* BuildConnectFormat(spa_pod_builder* builder, const V4l2Capability& cap,
                                  REFERENCE_TIME interval);

// "YUY2", "RGBx", "MJPG" for logs and reports.
std::string PipeWireFormatName(std::uint32_t format);
