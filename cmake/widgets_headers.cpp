// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the precompiled Qt Widgets headers that the window's libraries share.
