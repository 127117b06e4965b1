// Builds the precompiled Qt Widgets headers that the window's libraries share.
