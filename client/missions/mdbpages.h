#pragma once

#include <QtGlobal>

// Checks on the raw pages of a database before any of their bytes are used: a damaged page ends
// the reading with an error instead of giving garbage or reading beyond the page.
namespace Mdb {

struct PageFormat {
    int pageSize = 0;       // 2048 (Jet 3) or 4096 (Jet 4)
    int rowCountOffset = 0; // where a data page's row count lies; the offset table follows it
    bool jet3 = false;
};

// The bytes of one row on its page.
struct RowSpan {
    int start = 0;
    int size = 0;
};

enum class RowState { Present, Deleted, Damaged };

namespace Pages {

// A data page whose owner is the table defined on tablePage.
bool isDataPageOf(const PageFormat& format, const unsigned char* page, quint32 tablePage);
// A data page of any owner (long values live on pages of their own).
bool isDataPage(const unsigned char* page);

// The number of rows in the page's offset table; -1 when the table does not fit the page.
int rowCount(const PageFormat& format, const unsigned char* page);

// Where a row of the offset table lies (row below rowCount): after the table, before the
// previous row's start, inside the page. Deleted rows are not checked.
RowState findRow(const PageFormat& format, const unsigned char* page, int row, RowSpan* span);

// True when the row's column count, null mask and table of variable-length column offsets lie
// inside the row, so that splitting it into fields reads only its own bytes.
bool rowHeaderFits(const PageFormat& format, const unsigned char* page, const RowSpan& span,
                   bool hasVariableColumns);

} // namespace Pages
} // namespace Mdb
