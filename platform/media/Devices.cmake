# Devices of the media framework: the system device enumerator with its providers, monikers and
# property bags, the device-change broadcast, property frames and pages, and the virtual devices
# (the demo camera and scripted test devices).
target_sources(platform_media PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DeviceEnumerator.cpp ${CMAKE_CURRENT_LIST_DIR}/DeviceEnumerator.h
  ${CMAKE_CURRENT_LIST_DIR}/DeviceNotify.cpp ${CMAKE_CURRENT_LIST_DIR}/DeviceNotify.h
  ${CMAKE_CURRENT_LIST_DIR}/Moniker.cpp ${CMAKE_CURRENT_LIST_DIR}/Moniker.h
  ${CMAKE_CURRENT_LIST_DIR}/PropertyBag.cpp ${CMAKE_CURRENT_LIST_DIR}/PropertyBag.h
  ${CMAKE_CURRENT_LIST_DIR}/PropertyFrame.cpp ${CMAKE_CURRENT_LIST_DIR}/PropertyFrame.h
  ${CMAKE_CURRENT_LIST_DIR}/PropertyPages.cpp ${CMAKE_CURRENT_LIST_DIR}/PropertyPages.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/DemoCameraProvider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/virtual/DemoScene.cpp ${CMAKE_CURRENT_LIST_DIR}/virtual/DemoScene.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/FrameGenerator.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/FramePacker.cpp ${CMAKE_CURRENT_LIST_DIR}/virtual/FramePacker.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/ScriptedDeviceFile.cpp ${CMAKE_CURRENT_LIST_DIR}/virtual/ScriptedDeviceFile.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/ScriptedDevices.cpp ${CMAKE_CURRENT_LIST_DIR}/virtual/ScriptedDevices.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/VirtualAnalog.cpp ${CMAKE_CURRENT_LIST_DIR}/virtual/VirtualAnalog.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/VirtualCaptureFilter.cpp ${CMAKE_CURRENT_LIST_DIR}/virtual/VirtualCaptureFilter.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/VirtualCapturePin.cpp ${CMAKE_CURRENT_LIST_DIR}/virtual/VirtualCapturePin.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/VirtualDeviceConfig.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/VirtualProviders.h
  ${CMAKE_CURRENT_LIST_DIR}/virtual/TouchScene.cpp ${CMAKE_CURRENT_LIST_DIR}/virtual/TouchScene.h
  ${CMAKE_CURRENT_LIST_DIR}/TouchInput.cpp ${CMAKE_CURRENT_LIST_DIR}/TouchInput.h
)
# The device enumerator registers itself from DeviceEnumerator.cpp; this keeps that object in
# every link, as the media classes' anchor does for theirs.
target_link_options(platform_media INTERFACE "LINKER:--undefined=frostwipe_device_enumerator_anchor")

# Real webcams through V4L2, with hot-plug through libudev.
pkg_check_modules(UDEV IMPORTED_TARGET libudev)
if(NOT UDEV_FOUND)
  message(FATAL_ERROR "libudev is required by platform/media/v4l2: run scripts/setup "
                      "(Debian package libudev-dev).")
endif()
target_sources(platform_media PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2CaptureFilter.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2CaptureFilter.h
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2CapturePin.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2CapturePin.h
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Controls.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Controls.h
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Formats.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Formats.h
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Io.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Io.h
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Log.h
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Provider.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Provider.h
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Report.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Report.h
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Udev.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/V4l2Udev.h
)
target_link_libraries(platform_media PRIVATE PkgConfig::UDEV)

# Model cameras behind the V4L2 seam, for tests and for running the program without a webcam:
# a program that links this offers them through FROSTWIPE_V4L2_MODEL, and only through it.
add_library(v4l2_model STATIC
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/model/V4l2Model.cpp ${CMAKE_CURRENT_LIST_DIR}/v4l2/model/V4l2Model.h)
target_link_libraries(v4l2_model PUBLIC platform_media)
# The model registers itself from V4l2Model.cpp; this keeps that object in every link.
target_link_options(v4l2_model INTERFACE "LINKER:--undefined=frostwipe_v4l2_model_anchor")

# Cameras through PipeWire: the nodes a desktop's PipeWire daemon hands out.
pkg_check_modules(PIPEWIRE IMPORTED_TARGET libpipewire-0.3)
if(NOT PIPEWIRE_FOUND)
  message(FATAL_ERROR "libpipewire-0.3 is required by platform/media/pipewire: run scripts/setup "
                      "(Debian package libpipewire-0.3-dev).")
endif()
target_sources(platform_media PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireCaptureFilter.cpp ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireCaptureFilter.h
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireCapturePin.cpp ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireCapturePin.h
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireControls.cpp ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireControls.h
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireConnection.cpp ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireConnection.h
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireFormats.cpp ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireFormats.h
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireLog.h
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWirePortal.cpp ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWirePortal.h
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireProvider.cpp ${CMAKE_CURRENT_LIST_DIR}/pipewire/PipeWireProvider.h
  ${CMAKE_CURRENT_LIST_DIR}/pipewire/PortalResponseRelay.cpp ${CMAKE_CURRENT_LIST_DIR}/pipewire/PortalResponseRelay.h
)
if(FROSTWIPE_SANITIZE STREQUAL "thread")
  # Read by Qt's D-Bus thread after a hand-over inside Qt; it holds nothing of ours.
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/pipewire/PortalResponseRelay.cpp
                              PROPERTIES COMPILE_OPTIONS -fno-sanitize=thread)
endif()
# The camera portal of a sandboxed program is asked over D-Bus.
target_link_libraries(platform_media PRIVATE PkgConfig::PIPEWIRE Qt6::DBus)
