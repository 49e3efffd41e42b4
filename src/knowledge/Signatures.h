// The attribute-identifier signatures of known SSD firmwares, each labelled with its flash
// controller. A drive's signature is the identifier byte of each of the 30 attribute slots of its
// S.M.A.R.T. value page, in slot order, empty slots included as 0.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr unsigned SignatureLength = 30;

struct SignatureRow {
    uint8_t Controller;
    uint8_t Ids[SignatureLength];
};

// Compared byte for byte in table order; the first equal row names the controller.
extern const SignatureRow SignatureTable[];
extern const size_t SignatureTableSize;
