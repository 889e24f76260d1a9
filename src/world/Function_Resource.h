// The script, time-line, object and room rows of the resource built-ins, with the object
// property rows and script_execute.
#pragma once

// Registers script_exists, the script names and text, and script_execute.
void InitScriptResourceFunctions();
// Registers the time-line, object (properties included) and room rows.
void InitWorldResourceFunctions();
