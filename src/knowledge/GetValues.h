// Display names of the standards, versions, form factors and nominal interface rates that
// identification stores as small codes. Pure lookups: a code in, a text out (empty when unknown).
#pragma once

#include <cstdint>
#include <string>

std::string AtaVersionName(uint8_t code);
std::string SataVersionName(uint8_t code);
std::string NvmeVersionName(uint32_t version);
std::string FormFactorName(uint8_t code);

// Nominal rates in MB/s, as text without the unit.
std::string UltraDmaRate(uint8_t mode);
std::string SataRate(uint8_t code);
std::string PcieRate(uint8_t generation, uint8_t lanes);
