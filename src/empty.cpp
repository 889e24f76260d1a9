// Placeholder translation unit for a subsystem whose modules are not written yet.
