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
)
# The device enumerator registers itself from DeviceEnumerator.cpp; this keeps that object in
# every link, as the media classes' anchor does for theirs.
target_link_options(platform_media INTERFACE "LINKER:--undefined=frostwipe_device_enumerator_anchor")
