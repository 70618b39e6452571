// Shape classification: fills freeShape, exactShape and threeKeyCells of every entry with a stone
// at the centre, deriving each weaker class from the table itself (no pattern lists).
#pragma once

namespace velka::patterns {

// Writes every entry with a stone at the centre whole (other entries are left alone).
// lineDoubleFourForbidden: two fours in one line that are not one unbroken four count as
// ShapeForbidden in exactShape (freestyle and Renju tables).
void classifyShapes(bool lineDoubleFourForbidden);

}  // namespace velka::patterns
