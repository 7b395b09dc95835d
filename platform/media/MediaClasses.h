// Registration of the media framework's classes with CoCreateInstance.
#pragma once

// Registers the filter graph, capture graph builder, system clock, renderers, tees and
// converters. Runs by itself before main() in every program that links the library; calling it
// again does nothing.
void RegisterMediaFrameworkClasses();
