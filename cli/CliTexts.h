#pragma once
// Texts that rowpour-batch shows: its help, its usage lines, its errors and
// its reports, in one place so that the commands and their tests compare
// against the same constants.

namespace rowpour::cli::texts
{

// The help (--help, help, or no command at all).
inline constexpr char HelpUsage[] = "Usage: rowpour-batch COMMAND [ARGUMENTS]";
inline constexpr char HelpPurpose[] =
    "Loads spreadsheet rows into an Oracle table without the desktop window.";
inline constexpr char HelpCommands[] = "Commands:";
inline constexpr char HelpSummary[] = "Shows this text.";

// A command's usage line when its arguments do not fit (%1: the command, %2: its synopsis).
inline constexpr char CommandUsage[] = "Usage: rowpour-batch %1 %2";
// A command that ended with an error (%1: the command, %2: the error).
inline constexpr char CommandFailed[] = "rowpour-batch %1: %2";
// A first argument that names no command (%1: that argument).
inline constexpr char UnknownCommand[] = "rowpour-batch: unknown command '%1' (see rowpour-batch --help)";

// Option parsing (%1: the option or the argument).
inline constexpr char OptionNeedsValue[] = "%1 needs a value";
inline constexpr char MissingOption[] = "missing %1";
inline constexpr char UnexpectedArgument[] = "unexpected argument %1";
inline constexpr char MissingUserId[] = "missing --userid user/password@database";
// The prompt for a password the logon text does not give (%1: the user).
inline constexpr char PasswordPrompt[] = "Password for %1: ";

// The options that load and check share.
inline constexpr char BatchImportUsage[] =
    "--userid USER[/PASSWORD]@DATABASE --table T --file F --mapping M.ini [--sheet NAME|NUMBER] "
    "[--start N] --end M [--header-row H] [--delete] [--no-seek] [--errors FILE]";
inline constexpr char NotARowNumber[] = "--header-row %1 is not a row number";
// The mapping file (%1: its name).
inline constexpr char MappingNotFound[] = "mapping file %1 not found";
inline constexpr char MappingNotAFile[] = "mapping file %1 is not a file";
inline constexpr char MappingWithoutRows[] = "mapping file %1 holds no mapping rows (no section [Rows] with "
                                             "entries): is it a mapping saved by the desktop program?";
// The sheet the mapping names is not in the workbook (%1: that sheet).
inline constexpr char SavedSheetMissing[] =
    "The mapping was saved with sheet \"%1\", which the workbook does not have; its first sheet is read.";
// Progress on a terminal: the step under way, then the counters of the run (%1).
inline constexpr char ProgressEllipsis[] = "...";
inline constexpr char ProgressCounters[] = "row/end/failed/skipped: %1";

// aliases
inline constexpr char AliasesUsage[] = "[OCIDLL=FILE] [ORACLEHOME=NAME]";
inline constexpr char AliasesSummary[] =
    "Prints the database aliases of the client's tnsnames.ora, one per line.";
inline constexpr char AliasesUnexpectedArgument[] = "rowpour-batch aliases: unexpected argument '%1'";

// cells
inline constexpr char CellsUsage[] = "FILE [--sheet NAME|NUMBER] [--rows A-B] [--cols C-D]";
inline constexpr char CellsSummary[] =
    "Prints the text of each cell of the sheet (default: the first) as the import reads it (default: the "
    "used range), tab-separated, one row per line.";
inline constexpr char NotAColumn[] = "\"%1\" is neither a column number nor column letters";
// A range option that does not read (%1: the option, %2: its value).
inline constexpr char RangeWanted[] = "%1 wants a range such as 2-10, not \"%2\"";
inline constexpr char RangeBackwards[] = "%1: the range %2 runs backwards";

// check
inline constexpr char CheckSummary[] =
    "Checks rows N..M as load would read them, against the columns of table T, and changes nothing: every "
    "row the table would refuse is reported with its columns and reasons (to the errors file, else standard "
    "error), then \"K rows would fail\" (also on standard output). Exit code 0: no row would fail; 1: rows "
    "would fail; 2: the rows could not be checked.";

// columns
inline constexpr char ColumnsUsage[] = "--userid USER/PASSWORD@DATABASE TABLE";
inline constexpr char ColumnsSummary[] =
    "Lists the columns of a table: name and data type, tab-separated, one column per line.";
inline constexpr char ExpectedOneTable[] = "expected one table name";

// load (%1 of the summary: the password variable)
inline constexpr char LoadArrayUsage[] = " [--array N]";
inline constexpr char LoadSummary[] =
    "Loads rows N..M of the workbook's sheet (the mapping's, else the first) into table T with a mapping "
    "saved by the desktop program, and commits them; --header-row fills the mapping's empty XLS fields from "
    "that row's header cells; --array N sends the rows N at a time to one prepared insert with bind "
    "variables (the same rows, counts and failures; 0, the default, sends a statement per row). Without a "
    "password in --userid it comes from %1, or is asked for when standard input is a terminal. ";
inline constexpr char LoadExitCodes[] =
    "Exit code 0: every row inserted or skipped; 1: rows failed (the others were loaded); 2: the run ended "
    "with an error and nothing of it was kept (the table is as it was); 3: \"Delete old data before insert\" "
    "failed, the database's reason is printed and the rows were loaded beside the old ones; 4: the rows were "
    "committed but the summary could not be written.";
inline constexpr char NotArrayRows[] = "--array %1 is not a number of rows (0 or more)";
// The commit failed (the database's reason follows).
inline constexpr char CommitFailed[] = "the rows could not be committed, nothing of this run was kept: ";
// The summary could not be written after the commit (%1: why).
inline constexpr char SummaryNotWritten[] =
    "rowpour-batch load: the rows were committed, but the summary could not be written: %1";

// logon
inline constexpr char LogonUsage[] =
    "--userid USER/PASSWORD@DATABASE [--verbose] [OCIDLL=FILE] [ORACLEHOME=NAME]";
inline constexpr char LogonSummary[] =
    "Logs on and off; prints the call mode, the server version, a warning the logon gave and, with "
    "--verbose, the client's national-language settings, the client library and its search.";
inline constexpr char LogonUnexpectedArgument[] = "rowpour-batch logon: unexpected argument '%1'";
inline constexpr char LogonMissingUserId[] =
    "rowpour-batch logon: give the logon as --userid USER/PASSWORD@DATABASE";
// The report's lines, each followed by its value.
inline constexpr char CallMode[] = "Call mode: ";
inline constexpr char ConvertedLogon[] = " (an OCI8 logon converted for an older server)";
inline constexpr char ServerVersion[] = "Server version: ";
inline constexpr char NoServerVersion[] = "(not reported in OCI7 mode)";
inline constexpr char LogonWarning[] = "Warning: ";
inline constexpr char ClientEnvironment[] = "Client environment:";
inline constexpr char OperatorsOwnValue[] = " (the operator's own value)";
inline constexpr char ClientCharsetId[] = "  client character set id ";
inline constexpr char Al32Utf8[] = " (AL32UTF8)";
inline constexpr char ClientLibrary[] = "Client library: ";
inline constexpr char SearchLog[] = "Search log:";

// sheets
inline constexpr char SheetsUsage[] = "FILE";
inline constexpr char SheetsSummary[] =
    "Lists the sheets of a workbook in workbook order: number, name and \"hidden\" for a hidden sheet, "
    "tab-separated. --sheet of cells, load and check takes the name or the number.";
inline constexpr char HiddenSheet[] = "hidden";

// sql
inline constexpr char SqlUsage[] = "--userid USER/PASSWORD@DATABASE [--commit] STATEMENT|-";
inline constexpr char SqlSummary[] =
    "Runs a statement (or one per line of standard input for -): a select prints its records tab-separated "
    "under a header line, any other statement its processed row count.";
inline constexpr char ExpectedOneStatement[] =
    "expected one statement, or - to read statements from standard input";
// A message of the result set about a column it cannot hold (%1).
inline constexpr char SqlMessage[] = "rowpour-batch sql: %1";
// A binary value cut short after its first bytes (%1: its length).
inline constexpr char BytesCutShort[] = "... (%1 bytes)";

// tables
inline constexpr char TablesUsage[] = "--userid USER/PASSWORD@DATABASE";
inline constexpr char TablesSummary[] = "Lists the tables of the schema, one name per line.";

} // namespace rowpour::cli::texts
