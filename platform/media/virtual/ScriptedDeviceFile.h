// The file of scripted devices (FROSTWIPE_VIRTUAL_DEVICES): a JSON description of test devices.
//
// {
//   "devices": [
//     {
//       "friendlyName": "USB Camera",                       required
//       "displayName": "@device:pnp:\\\\?\\usb#...\\global",  default: made up, unique
//       "category": "video",       video | audio | videoCompressor | audioCompressor
//       "driver": "WDM",           WDM | vfw (vfw devices report CLSID_VfwCapture)
//       "pins": ["capture"],       any of capture, preview
//       "capabilities": [          default: one YUY2 640x480 at 30 frames per second
//         { "subtype": "YUY2",     RGB24, RGB32, RGB565, RGB555, YUY2, UYVY, I420, IYUV, YV12,
//                                  NV12, MJPG, dvsd, MPEG2, ... or a braced GUID text
//           "width": 640, "height": 480,
//           "minWidth": 160, "minHeight": 120, "maxWidth": 640, "maxHeight": 480,
//           "stepX": 0, "stepY": 0,
//           "frameRate": 30, "minFrameRate": 5, "maxFrameRate": 30 } ],
//       "scene": "pattern",        pattern | demo
//       "videoProcAmp": [ { "property": "Brightness", "min": -100, "max": 100, "step": 1,
//                           "default": 0, "auto": false } ],   default: brightness,
//                                  contrast and saturation; [] for none
//       "cameraControl": [ { "property": "Zoom", "min": 100, "max": 400, "default": 100 } ],
//       "crossbar": ["Tuner", "Composite", "SVideo"],  inputs by connector name, or objects
//                                  { "name": "Composite", "type": 2 }
//       "analogVideoDecoder": { "standards": ["NTSC_M", "PAL_B"], "current": "PAL_B" },
//                                  or true for those two
//       "tvTuner": true,
//       "vfwDialogs": ["source", "format", "display"],
//       "fail": { "setFormat": true, "create": true, "run": true, "loseAfterFrames": 30 },
//       "plugged": true
//     }
//   ]
// }
//
// The top level may also be the array of devices itself. Unknown keys are errors, so a typing
// mistake in a test's file is reported instead of silently ignored.
#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

#include "platform/media/virtual/VirtualDeviceConfig.h"

struct ScriptedDeviceEntry {
  VirtualDeviceConfig config;
  bool plugged = true;
};

// Reads the devices of a file's text. False with *error naming the device and the field when
// anything is malformed; *devices is then left empty.
bool ParseScriptedDevices(const QByteArray& json, std::vector<ScriptedDeviceEntry>* devices,
                          QString* error);

// The subtype a name or braced GUID text gives; GUID_NULL for an unknown name.
GUID SubtypeFromName(const QString& name);
