// The products the update server is asked about: the fixed product table, the product list built
// from the device list's firmware versions and the application's version, each product's key and
// the request body that carries it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace nk7x {

// A row of the product table. Kind number 0 is the application (decimal versions); any other kind
// is a device firmware (hexadecimal versions).
struct UpdateProductRow {
    int32_t kindNumber;
    int32_t secondNumber;
    const char* brand;
    const char* modelCode; // "ALL" marks the application row
    const char* shortName;
    const char* displayName; // the name shown in the update list
};

inline constexpr std::size_t kUpdateProductRows = 4;
inline constexpr std::size_t kApplicationProductRow = kUpdateProductRows - 1;

const std::array<UpdateProductRow, kUpdateProductRows>& UpdateProductTable();

// One product to check: a table row with the version installed now.
struct UpdateProduct {
    std::size_t row = 0; // index in the product table
    UpdateProductRow info{};
    uint32_t installed = 0;

    bool IsFirmware() const { return info.kindNumber != 0; }
};

// The products to check, in table order. `deviceVersions` holds one firmware version per device
// list entry, in the list's order, 0 for an entry without an open link; entry k pairs with table row
// k, and entries past the last firmware row have no row. The application row takes
// `applicationVersion`. Rows whose installed version is 0 are left out.
std::vector<UpdateProduct> BuildProductList(const std::vector<uint16_t>& deviceVersions,
                                            uint32_t applicationVersion);

// "<brand>_<kind>_<model>_<short name>_<second number>", the key the server knows a product by.
std::string ProductKey(const UpdateProductRow& row);

// The request body: "app_key=<key>&version=<installed>", the version in lower-case hexadecimal for
// firmware and in decimal for the application, followed by its terminating zero byte, which the
// server receives too (it is part of the content length).
std::string UpdateRequestBody(const UpdateProduct& product);

// The installed version as the update list shows it: "V%04x" for firmware, "V%d" for the application.
std::string InstalledVersionText(const UpdateProduct& product);

// The leading digits of an answer's version text in `base` (16 or 10) after optional blanks (and a
// "0x" in base 16); no
// digit gives 0 and a number beyond 31 bits reads as the largest 31-bit number.
int64_t ParseVersionNumber(const std::string& text, int base);

} // namespace nk7x
