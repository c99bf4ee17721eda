// Paths on this platform: '/' separates components, an absolute path begins with it, and there
// are no drive letters. Path algorithms name the separator instead of spelling it.
#pragma once

constexpr char kPathSeparator = '/';
constexpr const char* kPathSeparatorText = "/";
// Longest path the product code accepts, terminator excluded (the original MAX_PATH - 1).
constexpr int kMaxPathLength = 259;
