#include "update/UpdateProducts.h"

#include <cstdio>

namespace nk7x {

// clang-format off
const std::array<UpdateProductRow, kUpdateProductRows>& UpdateProductTable() {
    static constexpr std::array<UpdateProductRow, kUpdateProductRows> table = {{
        {1, 1, "TAVRO", "QX20M31B",   "Norla Keys NK-7X", "Norla Keys NK-7X"},
        {1, 1, "TAVRO", "QX20M30B",   "RT3",              "RT3"},
        {2, 1, "TAVRO", "QX20M22B_1", "RT9",              "RT9"},
        {0, 1, "TAVRO", "ALL",        "RT9_RT4_RT3",      "Norla Keys NK-7X"},
    }};
    return table;
}
// clang-format on

std::vector<UpdateProduct> BuildProductList(const std::vector<uint16_t>& deviceVersions,
                                            uint32_t applicationVersion) {
    const auto& table = UpdateProductTable();
    std::array<uint32_t, kUpdateProductRows> installed{};
    // Device entries beyond the firmware rows have no row; they never reach the application's row.
    for (std::size_t k = 0; k < deviceVersions.size() && k < kApplicationProductRow; ++k)
        installed[k] = deviceVersions[k];
    installed[kApplicationProductRow] = applicationVersion;
    std::vector<UpdateProduct> products;
    for (std::size_t row = 0; row < table.size(); ++row) {
        if (installed[row] == 0)
            continue;
        UpdateProduct p;
        p.row = row;
        p.info = table[row];
        p.installed = installed[row];
        products.push_back(p);
    }
    return products;
}

std::string ProductKey(const UpdateProductRow& row) {
    return std::string(row.brand) + "_" + std::to_string(row.kindNumber) + "_" + row.modelCode + "_" +
           row.shortName + "_" + std::to_string(row.secondNumber);
}

std::string UpdateRequestBody(const UpdateProduct& product) {
    char version[16];
    if (product.IsFirmware())
        std::snprintf(version, sizeof version, "%x", product.installed);
    else
        std::snprintf(version, sizeof version, "%u", product.installed);
    std::string body = "app_key=" + ProductKey(product.info) + "&version=" + version;
    body.push_back('\0');
    return body;
}

std::string InstalledVersionText(const UpdateProduct& product) {
    char text[16];
    if (product.IsFirmware())
        std::snprintf(text, sizeof text, "V%04x", product.installed);
    else
        std::snprintf(text, sizeof text, "V%u", product.installed);
    return text;
}

int64_t ParseVersionNumber(const std::string& text, int base) {
    constexpr int64_t kMax = 0x7FFFFFFF;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        i += 2;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * base + digit;
        if (value > kMax)
            return kMax;
    }
    return value;
}

} // namespace nk7x
