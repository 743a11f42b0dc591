// Reading real 5.x and 6.x files.
//  1. Tell the version by the first four bytes; refuse what can't be read
//     (recovery needed, compression, key-only files, VATs, blank truncation).
//  2. v6: take the current File Control Record of the pair and the current
//     page allocation table, mapping logical pages to physical ones; only
//     mapped pages count, so stale shadow images are never read.
//  3. Decode the file specification and the key segments (v5: packed from
//     0x110; v6: through the key allocation table), and the ACS tables.
//  4. Walk the data pages' record slots, skipping free slots (v5: the free
//     chain and the fill mark; v6: a zero slot prefix), cut each user record
//     and append its variable part from the variable pages' fragments.
#include "real_format.h"

#include <map>
#include <set>

namespace kdb {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr size_t kSegmentEntry = 30;
constexpr size_t kMaxVariablePart = 16u * 1024u * 1024u;

// Bounds-checked little-endian reads over the whole file.
struct View {
    const Bytes& b;
    void need(size_t off, size_t n) const {
        if (off > b.size() || n > b.size() - off)
            throw UnsupportedFile("damaged: a read at byte " + std::to_string(off) + " runs past the end of the file");
    }
    uint8_t u8(size_t off) const {
        need(off, 1);
        return b[off];
    }
    uint16_t u16(size_t off) const {
        need(off, 2);
        return static_cast<uint16_t>(b[off] | b[off + 1] << 8);
    }
    uint32_t u32(size_t off) const { return u16(off) | static_cast<uint32_t>(u16(off + 2)) << 16; }
    // Two u16, high word first.
    uint32_t split32(size_t off) const { return static_cast<uint32_t>(u16(off)) << 16 | u16(off + 2); }
    bool zero(size_t off, size_t n) const {
        need(off, n);
        for (size_t i = 0; i < n; ++i)
            if (b[off + i]) return false;
        return true;
    }
};

struct Reader {
    View v;
    RealFile out;
    size_t fcr = 0;  // offset of the current FCR
    uint32_t pageCount = 0;
    std::map<uint32_t, std::pair<uint8_t, uint32_t>> pages;  // v6: logical -> (type, physical)

    size_t pageOffset(uint32_t physical) const { return static_cast<size_t>(physical) * out.pageSize; }

    // The physical page of a v6 logical page of the given type.
    uint32_t mapped(uint32_t logical, uint8_t type, const char* what) const {
        auto it = pages.find(logical);
        if (it == pages.end() || it->second.first != type)
            throw UnsupportedFile(std::string("damaged: a ") + what + " points at logical page " + std::to_string(logical) +
                                  ", which is not one");
        return it->second.second;
    }

    void refuseFlags(uint16_t flags, bool truncatedBlanks) {
        if (flags & 0x0008) throw UnsupportedFile("data compression is not supported");
        if (flags & 0x0010) throw UnsupportedFile("key-only files are not supported");
        if (flags & 0x0800) throw UnsupportedFile("variable-tail allocation tables are not supported");
        if (flags & 0x0200) throw UnsupportedFile("files that include system data are not supported");
        if (truncatedBlanks || (flags & 0x0002)) throw UnsupportedFile("blank truncation is not supported");
    }

    void readCommon() {
        out.recordLength = v.u16(fcr + 0x16);
        out.physicalLength = v.u16(fcr + 0x18);
        out.storedRecords = v.split32(fcr + 0x1A);
        out.fileFlags = v.u16(fcr + 0x106);
        out.variable = (out.fileFlags & 0x0001) || v.u8(fcr + 0x38) != 0;
        pageCount = v.split32(fcr + 0x26);
        if (v.u16(fcr + 0x0A) != 0) throw UnsupportedFile("the file control record has unknown flags set");
        if (out.recordLength == 0) throw UnsupportedFile("damaged: record length 0");
        size_t minimum = (out.version == 6 ? 2u : 0u) + out.recordLength + (out.variable ? 4u : 0u);
        if (out.physicalLength < minimum || out.physicalLength > out.pageSize - 6)
            throw UnsupportedFile("damaged: physical record length " + std::to_string(out.physicalLength) +
                                  " does not fit record length " + std::to_string(out.recordLength));
    }

    // The segments of one key from its first entry on.
    RealKey readKey(size_t entry, std::map<uint32_t, int>& acsByPage) {
        RealKey key;
        for (int i = 0;; ++i) {
            if (i >= 255 || entry + kSegmentEntry > fcr + out.pageSize)
                throw UnsupportedFile("damaged: a key's segments run past the file control record");
            RealSegment s;
            s.flags = v.u16(entry + 0x08);
            uint16_t offset = v.u16(entry + 0x14);
            if (out.version == 6 && offset < 2) throw UnsupportedFile("damaged: a segment offset below 2");
            s.position = static_cast<uint16_t>(out.version == 5 ? offset + 1 : offset - 1);
            s.length = v.u16(entry + 0x16);
            s.extendedType = v.u8(entry + 0x1C);
            s.nullValue = v.u8(entry + 0x1D);
            if (s.length == 0 || s.position + s.length - 1u > out.recordLength)
                throw UnsupportedFile("damaged: a key segment lies outside the record");
            if (s.flags & 0x0020) s.acs = acsFor(entry, acsByPage);
            key.segments.push_back(s);
            entry += kSegmentEntry;
            if (!(s.flags & 0x0010)) break;
        }
        return key;
    }

    // The ACS table a segment uses: v6 from its 'A' page, v5 from page 1.
    int acsFor(size_t entry, std::map<uint32_t, int>& acsByPage) {
        uint32_t page = out.version == 6 ? (static_cast<uint32_t>(v.u8(entry + 0x19)) << 16 | v.u16(entry + 0x1A)) : 1;
        auto it = acsByPage.find(page);
        if (it != acsByPage.end()) return it->second;
        size_t at = out.version == 6 ? pageOffset(mapped(page, 'A', "key's ACS")) : pageOffset(1);
        if (v.u8(at + 6) != 0xAC) throw UnsupportedFile("an alternate collating sequence of an unknown kind");
        v.need(at + 6, 265);
        std::array<uint8_t, 265> table;
        std::copy(v.b.begin() + static_cast<long>(at + 6), v.b.begin() + static_cast<long>(at + 6 + 265), table.begin());
        out.acs.push_back(table);
        int index = static_cast<int>(out.acs.size()) - 1;
        acsByPage[page] = index;
        return index;
    }

    // Follows a variable-part pointer chain and appends its data.
    void appendVariable(size_t vptrAt, Bytes& record) {
        uint32_t guard = 0;
        for (;;) {
            uint32_t page = static_cast<uint32_t>(v.u8(vptrAt)) << 16 | v.u16(vptrAt + 1);
            uint8_t fragment = v.u8(vptrAt + 3);
            if (page == 0xFFFFFF) return;
            if (++guard > 65536) throw UnsupportedFile("damaged: a variable-length chain does not end");
            uint32_t physical = out.version == 6 ? mapped(page, 'V', "variable-length record") : page;
            if (physical == 0 || physical >= v.b.size() / out.pageSize)
                throw UnsupportedFile("damaged: a variable part points past the file");
            size_t base = pageOffset(physical);
            v.need(base, out.pageSize);
            uint16_t slots = v.u16(base + 0x0A);
            if (fragment >= slots || 2u * (slots + 1u) > out.pageSize)
                throw UnsupportedFile("damaged: a variable fragment number past its page's table");
            auto entry = [&](unsigned i) { return v.u16(base + out.pageSize - 2 * (i + 1)); };
            uint16_t raw = entry(fragment);
            if (raw == 0xFFFF) throw UnsupportedFile("damaged: a variable part points at an unused fragment");
            size_t start = raw & 0x7FFF;
            size_t end = 0;
            for (unsigned i = fragment + 1u; i <= slots; ++i)
                if (entry(i) != 0xFFFF) {
                    end = entry(i) & 0x7FFF;
                    break;
                }
            if (start < 12 || end < start || end > out.pageSize - 2u * (slots + 1u))
                throw UnsupportedFile("damaged: a variable fragment's bounds are wrong");
            bool linked = out.version == 6 || (raw & 0x8000);
            size_t dataStart = base + start + (linked ? 4 : 0);
            if (linked && end - start < 4) throw UnsupportedFile("damaged: a variable fragment too short for its link");
            record.insert(record.end(), v.b.begin() + static_cast<long>(dataStart), v.b.begin() + static_cast<long>(base + end));
            if (record.size() > kMaxVariablePart) throw UnsupportedFile("damaged: a variable-length record past 16 MiB");
            if (!linked) return;
            vptrAt = base + start;
        }
    }

    void takeRecord(size_t slot, size_t prefix) {
        v.need(slot, out.physicalLength);
        Bytes record(v.b.begin() + static_cast<long>(slot + prefix),
                     v.b.begin() + static_cast<long>(slot + prefix + out.recordLength));
        if (out.variable) appendVariable(slot + prefix + out.recordLength, record);
        out.records.push_back(std::move(record));
    }

    void readV5() {
        out.version = 5;
        out.pageSize = v.u16(8);
        checkPageSize();
        fcr = 0;
        if (v.u16(0x22) == 0xFFFF) throw UnsupportedFile("the file needs recovery by its engine");
        refuseFlags(v.u16(0x106), v.u8(0x38) == 0xFD);
        readCommon();
        uint32_t pagesInFile = static_cast<uint32_t>(v.b.size() / out.pageSize);
        if (pageCount > pagesInFile)
            throw UnsupportedFile("damaged: the file claims " + std::to_string(pageCount) + " pages but holds " +
                                  std::to_string(pagesInFile) + " (truncated?)");
        std::map<uint32_t, int> acsByPage;
        unsigned keyCount = v.u16(0x14);
        size_t entry = 0x110;
        for (unsigned k = 0; k < keyCount; ++k) {
            out.keys.push_back(readKey(entry, acsByPage));
            entry += kSegmentEntry * out.keys.back().segments.size();
        }
        // Deleted slots, by absolute offset.
        std::set<uint32_t> freeSlots;
        for (uint32_t at = v.split32(0x10); at != kNone; at = v.split32(at)) {
            if (!freeSlots.insert(at).second || freeSlots.size() > v.b.size() / out.physicalLength)
                throw UnsupportedFile("damaged: the free-slot chain loops");
        }
        uint32_t current = v.split32(0x1E);
        uint16_t freeBytes = v.u16(0x2A);
        unsigned perPage = (out.pageSize - 6u) / out.physicalLength;
        for (uint32_t page = 1; page < pageCount; ++page) {
            size_t base = pageOffset(page);
            if (v.split32(base) != page || !(v.u16(base + 4) & 0x8000)) continue;  // not a data page
            unsigned used = perPage;
            if (page == current) used = freeBytes > out.pageSize - 6u ? 0 : (out.pageSize - 6u - freeBytes) / out.physicalLength;
            for (unsigned s = 0; s < used && s < perPage; ++s) {
                size_t slot = base + 6 + static_cast<size_t>(s) * out.physicalLength;
                if (freeSlots.count(static_cast<uint32_t>(slot))) continue;
                takeRecord(slot, 0);
            }
        }
    }

    void readV6() {
        out.version = 6;
        // The current FCR of the pair: "FC" and the larger usage count.
        uint16_t pageSize0 = v.u16(8);
        if (pageSize0 == 0) throw UnsupportedFile("a later file format (the page size moved) is not supported");
        out.pageSize = pageSize0;
        checkPageSize();
        size_t copies[2] = {0, out.pageSize};
        fcr = 0;
        if (v.b.size() >= 2u * out.pageSize && v.u8(copies[1]) == 'F' && v.u8(copies[1] + 1) == 'C' &&
            v.u32(copies[1] + 4) > v.u32(4))
            fcr = copies[1];
        if (v.u16(fcr + 8) != out.pageSize) throw UnsupportedFile("damaged: the two file control records disagree on the page size");
        if (v.u8(fcr + 0x4B) != 6) throw UnsupportedFile("not a 6.x file (format byte " + std::to_string(v.u8(fcr + 0x4B)) + ")");
        refuseFlags(v.u16(fcr + 0x106), false);
        readCommon();
        unsigned keyCount = v.u16(fcr + 0x14);
        if (v.u8(fcr + 0x76) != keyCount) throw UnsupportedFile("damaged: the key allocation table disagrees on the key count");
        readPat();
        std::map<uint32_t, int> acsByPage;
        size_t kat = fcr + v.u16(fcr + 0x78);
        for (unsigned k = 0; k < keyCount; ++k) {
            uint16_t first = v.u16(kat + 2 * k);
            if (first < 0x110 || first + kSegmentEntry > out.pageSize) throw UnsupportedFile("damaged: a key entry outside the file control record");
            out.keys.push_back(readKey(fcr + first, acsByPage));
        }
        unsigned perPage = (out.pageSize - 6u) / out.physicalLength;
        for (const auto& [logical, mapping] : pages) {
            if (mapping.first != 'D') continue;
            size_t base = pageOffset(mapping.second);
            for (unsigned s = 0; s < perPage; ++s) {
                size_t slot = base + 6 + static_cast<size_t>(s) * out.physicalLength;
                if (v.u16(slot) == 0) continue;  // a free slot
                takeRecord(slot, 2);
            }
        }
    }

    // The page allocation table: for each group, the current page of its
    // pair, and each entry's logical page, type and physical page.
    void readPat() {
        uint32_t perGroup = (out.pageSize - 8u) / 4u;
        if (pageCount == 0) return;
        uint32_t groups = (pageCount - 1 + perGroup - 1) / perGroup;
        uint32_t pagesInFile = static_cast<uint32_t>(v.b.size() / out.pageSize);
        for (uint32_t g = 0; g < groups; ++g) {
            uint32_t first = 2 + g * (perGroup + 2);
            size_t a = pageOffset(first), b = pageOffset(first + 1);
            auto isPat = [&](size_t at) { return at + out.pageSize <= v.b.size() && v.u8(at) == 'P' && v.u8(at + 1) == 'P'; };
            size_t pat;
            if (isPat(a) && isPat(b)) pat = v.u32(b + 4) > v.u32(a + 4) ? b : a;
            else if (isPat(a)) pat = a;
            else if (isPat(b)) pat = b;
            else throw UnsupportedFile("damaged: no page allocation table at page " + std::to_string(first));
            for (uint32_t j = 0; j < perGroup; ++j) {
                uint32_t logical = g * perGroup + j + 1;
                if (logical >= pageCount) break;
                size_t e = pat + 8 + 4 * j;
                uint8_t type = v.u8(e + 1);
                if (type == 0) continue;  // a free logical page (often an old shadow image)
                uint32_t physical = static_cast<uint32_t>(v.u8(e)) << 16 | v.u16(e + 2);
                if (physical < 2 || physical >= pagesInFile) throw UnsupportedFile("damaged: a mapped page past the end of the file");
                size_t base = pageOffset(physical);
                uint32_t own = static_cast<uint32_t>(v.u8(base)) << 16 | v.u16(base + 2);
                if (v.u8(base + 1) != type || own != logical) {
                    out.notes.push_back("logical page " + std::to_string(logical) + " does not carry its own header; passed over");
                    continue;
                }
                pages[logical] = {type, physical};
            }
        }
    }

    void checkPageSize() {
        if (out.pageSize < 512 || out.pageSize % 512 != 0 || out.pageSize > 16384)
            throw UnsupportedFile("damaged: page size " + std::to_string(out.pageSize));
        if (v.b.size() < out.pageSize) throw UnsupportedFile("damaged: the file is shorter than one page");
    }
};

}  // namespace

bool looksLikeRealFile(const Bytes& file) {
    if (file.size() < 4) return false;
    bool v5 = file[0] == 0 && file[1] == 0 && file[2] == 0 && file[3] == 0;
    bool v6 = file[0] == 'F' && file[1] == 'C' && file[2] == 0 && file[3] == 0;
    return v5 || v6;
}

RealFile readRealFile(const Bytes& file) {
    if (!looksLikeRealFile(file)) throw UnsupportedFile("not a Btrieve 5.x or 6.x file");
    Reader r{View{file}, {}, 0, 0, {}};
    if (file[0] == 'F') r.readV6();
    else r.readV5();
    if (r.out.records.size() != r.out.storedRecords)
        r.out.notes.push_back("the file claims " + std::to_string(r.out.storedRecords) + " records; " +
                              std::to_string(r.out.records.size()) + " were found");
    return r.out;
}

}  // namespace kdb
