#pragma once

// The fonts the windows were drawn for: their twips layouts hold only in these. Every control
// that names no font gets MS Sans Serif 8.25 point; some controls name MS Sans Serif, Tahoma or
// Arial. Where the platform lacks one of these, the metric-compatible face that the system has
// stands in (Debian: fonts-wine for MS Sans Serif and Tahoma, fonts-liberation2 for Arial).
// Each windowed program calls this once, right after creating its application object.
namespace WindowFonts {

void install();

} // namespace WindowFonts
