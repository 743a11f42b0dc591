// The demo database: customers, orders, order lines and products, whose
// INDEX.DDF describes only one key and names none of the others.
#include <cstring>

#include "ddf.h"
#include "dictionary_layout.h"

namespace kdb {

namespace {

struct RecordMaker {
    Bytes b;
    explicit RecordMaker(size_t n) : b(n, 0) {}
    RecordMaker& i32(size_t at, int32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
        return *this;
    }
    RecordMaker& i16(size_t at, int16_t v) {
        put16(b, at, static_cast<uint16_t>(v));
        return *this;
    }
    RecordMaker& str(size_t at, size_t width, const std::string& s) {
        putText(b, at, width, s);
        return *this;
    }
    RecordMaker& date(size_t at, int y, int m, int d) {
        b[at] = static_cast<uint8_t>(d);
        b[at + 1] = static_cast<uint8_t>(m);
        put16(b, at + 2, static_cast<uint16_t>(y));
        return *this;
    }
    std::string hex() const { return toHex(b.data(), b.size()); }
};

ordered_json col(const char* name, const char* type, int offset, int size) {
    return {{"name", name}, {"type", type}, {"offset", offset}, {"size", size}};
}

ordered_json segment(int position, int length, const char* type) {
    return {{"position", position}, {"length", length}, {"type", type}};
}

}  // namespace

ordered_json demoDescription() {
    ordered_json customers = ordered_json::array(), orders = ordered_json::array(), lines = ordered_json::array(),
                 products = ordered_json::array();
    const char* names[] = {"Ada Lovelace", "Grace Hopper", "Edsger Dijkstra", "Barbara Liskov"};
    const char* cities[] = {"London", "Arlington", "Rotterdam", "Los Angeles"};
    for (int i = 0; i < 4; ++i) customers.push_back(RecordMaker(54).i32(0, 100 + i).str(4, 30, names[i]).str(34, 20, cities[i]).hex());
    for (int i = 0; i < 5; ++i) orders.push_back(RecordMaker(18).i32(0, 5000 + i).i32(4, 100 + i % 4).date(8, 1994, 3 + i, 10 + i).hex());
    for (int i = 0; i < 8; ++i) lines.push_back(RecordMaker(12).i32(0, 5000 + i / 2).i16(4, static_cast<int16_t>(1 + i % 2)).i32(6, 7 + i % 3).i16(10, static_cast<int16_t>(i + 1)).hex());
    const char* codes[] = {"FLOPPY", "MODEM", "PRINTER"};
    for (int i = 0; i < 3; ++i) products.push_back(RecordMaker(58).i32(0, 7 + i).str(4, 8, codes[i]).str(12, 40, codes[i]).hex());

    // Built step by step, with every array made by jsonArray.
    auto key = [&](bool unique, ordered_json segments) {
        ordered_json flags = unique ? jsonArray({"modifiable"}) : jsonArray({"duplicates", "modifiable"});
        return ordered_json{{"flags", flags}, {"segments", segments}};
    };
    auto table = [&](const char* name, const char* location, ordered_json columns) {
        ordered_json t = ordered_json::object();
        t["name"] = name;
        t["location"] = location;
        t["columns"] = columns;
        return t;
    };
    auto file = [&](int recordLength, ordered_json keys, ordered_json records) {
        ordered_json f = ordered_json::object();
        f["recordLength"] = recordLength;
        f["keys"] = keys;
        f["records"] = records;
        return f;
    };
    auto indexRecord = [](const char* column) {
        return ordered_json{{"column", column}, {"number", 0}, {"part", 0}, {"flags", 2}};
    };

    // An already described and named key, and a case-insensitive name key.
    ordered_json customer = table("CUSTOMER", "CUSTOMER.DAT",
                                  jsonArray({col("CustId", "integer", 0, 4), col("Name", "string", 4, 30),
                                        col("City", "string", 34, 20)}));
    customer["indexes"] = jsonArray({indexRecord("CustId")});
    customer["indexNames"] = jsonArray({ordered_json{{"name", "CustomerById"}, {"number", 0}}});
    ordered_json byName = {{"position", 5}, {"length", 30}, {"flags", jsonArray({"case-insensitive"})}};
    customer["file"] = file(54, jsonArray({key(true, jsonArray({segment(1, 4, "integer")})), key(false, jsonArray({byName}))}),
                            customers);

    // A two-segment key.
    ordered_json ordersTable = table("ORDERS", "ORDERS.DAT",
                                     jsonArray({col("OrderId", "integer", 0, 4), col("CustId", "integer", 4, 4),
                                           col("OrderDate", "date", 8, 4), col("Total", "money", 12, 6)}));
    ordersTable["file"] = file(18, jsonArray({key(true, jsonArray({segment(1, 4, "integer")})),
                                         key(false, jsonArray({segment(5, 4, "integer"), segment(9, 4, "date")}))}),
                               orders);

    // A key that spans two adjacent columns.
    ordered_json lineTable = table("ORDERLINE", "ORDERLIN.DAT",
                                   jsonArray({col("OrderId", "integer", 0, 4), col("LineNo", "integer", 4, 2),
                                         col("ProductId", "integer", 6, 4), col("Quantity", "integer", 10, 2)}));
    lineTable["file"] = file(12, jsonArray({key(true, jsonArray({segment(1, 6, "unsigned")})),
                                       key(false, jsonArray({segment(7, 4, "integer")}))}),
                             lines);

    // A described but unnamed key, and a key that matches no column.
    ordered_json product = table("PRODUCT", "PRODUCT.DAT",
                                 jsonArray({col("ProductId", "integer", 0, 4), col("Code", "string", 4, 8),
                                       col("Descr", "string", 12, 40), col("Price", "money", 52, 6)}));
    product["indexes"] = jsonArray({indexRecord("ProductId")});
    ordered_json midColumn = {{"position", 9}, {"length", 4}};
    product["file"] = file(58, jsonArray({key(true, jsonArray({segment(1, 4, "integer")})), key(false, jsonArray({midColumn}))}),
                           products);

    ordered_json db = ordered_json::object();
    db["tables"] = jsonArray({customer, ordersTable, lineTable, product});
    return db;
}

}  // namespace kdb
