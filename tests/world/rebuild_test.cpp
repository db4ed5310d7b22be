// Placeholder, filled below.
