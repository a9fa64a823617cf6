#pragma once

namespace tkan {

// What F1 shows: how the mouse and the keys work the graph. Carriage
// returns end lines; tabs indent.
inline constexpr char kGraphHelpText[] =
    "Time Scale Expansion:\r\r"
    "\tMove mouse to graph area, hold and drag left mouse's key horizontally then release.\r"
    "\tMove mouse to graph area, double click left mouse's key to restore full graph.\r\r\r"
    "Resistor Scale Expansion:\r\r"
    "\tMove mouse to graph area, hold and drag right mouse's key vertically then release.\r"
    "\tMove mouse to graph area, double click right mouse's key to restore full graph.\r\r\r"
    "Time Measurement:\r\r"
    "\tMove mouse to graph area, hold and drag left mouse's key while pressing shift key.\r\r\r"
    "Add Data Point To Table:\r\r"
    "\tPosition mouse to the desired data point on graph. Press F8 key to append data to table.\r\r\r"
    "Edit Data Table:\r\r"
    "\tPress F9 to display data table. Follow instructions to edit data point on table.\r";

}  // namespace tkan
