// RGB32 pictures (blue, green, red, unused; rows from the top) to and from 8-bit RGB PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height, std::string* error);
bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height, std::string* error);
