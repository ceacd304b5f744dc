// The fuzz targets, one input each (fuzz_targets.cpp, where each is also made
// a libFuzzer target). The tests run them on the hostile images and the past
// findings, without libFuzzer (tests/disc/crafted_test.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

void FuzzDiscWalk(const uint8_t* data, size_t size);
void FuzzDiscInstall(const uint8_t* data, size_t size);
void FuzzShipProtocol(const uint8_t* data, size_t size);
