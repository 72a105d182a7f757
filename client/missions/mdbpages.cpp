#include "client/missions/mdbpages.h"

namespace Mdb::Pages {

namespace {

constexpr unsigned char DataPageType = 0x01;
constexpr int OffsetMask = 0x1fff;
constexpr int DeletedRow = 0x4000;
// The offset table of a page never lists more rows than this.
constexpr int MaxRowsOnPage = 1000;

int int16At(const unsigned char* page, int offset) {
    return page[offset] | (page[offset + 1] << 8);
}

quint32 int32At(const unsigned char* page, int offset) {
    return quint32(page[offset]) | (quint32(page[offset + 1]) << 8) |
           (quint32(page[offset + 2]) << 16) | (quint32(page[offset + 3]) << 24);
}

} // namespace

bool isDataPage(const unsigned char* page) {
    return page[0] == DataPageType;
}

bool isDataPageOf(const PageFormat&, const unsigned char* page, quint32 tablePage) {
    return isDataPage(page) && int32At(page, 4) == tablePage;
}

int rowCount(const PageFormat& format, const unsigned char* page) {
    const int rows = int16At(page, format.rowCountOffset);
    if (rows > MaxRowsOnPage || format.rowCountOffset + 2 + 2 * rows > format.pageSize)
        return -1;
    return rows;
}

RowState findRow(const PageFormat& format, const unsigned char* page, int row, RowSpan* span) {
    const int rco = format.rowCountOffset;
    const int raw = int16At(page, rco + 2 + 2 * row);
    if (raw & DeletedRow)
        return RowState::Deleted;
    const int start = raw & OffsetMask;
    const int end = row == 0 ? format.pageSize : int16At(page, rco + 2 * row) & OffsetMask;
    const int tableEnd = rco + 2 + 2 * int16At(page, rco);
    if (start < tableEnd || start >= end || end > format.pageSize)
        return RowState::Damaged;
    span->start = start;
    span->size = end - start;
    return RowState::Present;
}

bool rowHeaderFits(const PageFormat& format, const unsigned char* page, const RowSpan& span,
                   bool hasVariableColumns) {
    const int countSize = format.jet3 ? 1 : 2;
    if (span.size < countSize)
        return false;
    const int columns = format.jet3 ? page[span.start] : int16At(page, span.start);
    const int maskSize = (columns + 7) / 8;
    if (countSize + maskSize > span.size)
        return false;
    if (!hasVariableColumns)
        return true;
    const int rowEnd = span.start + span.size - 1;
    if (format.jet3) {
        if (span.size < maskSize + 2)
            return false;
        const int variable = page[rowEnd - maskSize];
        const int jumps = (span.size - 1) / 256;
        return span.size >= maskSize + jumps + variable + 3;
    }
    if (span.size < maskSize + 4)
        return false;
    const int variable = int16At(page, rowEnd - maskSize - 1);
    return span.size >= maskSize + 2 * variable + 6;
}

} // namespace Mdb::Pages
