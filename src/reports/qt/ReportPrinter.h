#pragma once

class QPagedPaintDevice;
class QPaintDevice;

namespace tkan {

class PrintedReport;

// The report's pages on a paged device: a printer, the preview's printer or
// a PDF writer. A page is the device's paint area. Pages count from 1;
// `last` 0 runs to the last page; each copy is the whole range again.
// Returns the number of pages painted, 0 when the device could not be
// painted on or the job not finished (a file that cannot be written).
int PaintReport(PrintedReport& report, QPagedPaintDevice& device, int first = 1, int last = 0, int copies = 1);

// The pages the report takes on `device`, measured without starting a job,
// so that the print dialog can offer the range.
int CountReportPages(const PrintedReport& report, const QPaintDevice& device);

}  // namespace tkan
