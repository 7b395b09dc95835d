// The camera report of `frostwipe --list-cameras`: what a user with a real webcam can check.
#pragma once

#include <memory>
#include <string>

class V4l2Io;

// Each camera as a paragraph: its name, node and identity, driver, formats with sizes and
// frame rates, and controls with their ranges; "no cameras found" when there is none.
// io nullptr: DefaultV4l2Io(). Thread: any.
std::string DescribeV4l2Cameras(std::shared_ptr<V4l2Io> io = nullptr);
