// The date and time built-ins, checked against Python's datetime and GNU date run by the test,
// in UTC and in a zone with daylight saving (America/New_York), its changes included.
#include "data/Function_Date.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "MiscTestSupport.h"

namespace {

std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}

// The process's time zone while one of these lives.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        const char* old = std::getenv("TZ");
        m_hadOld = old != nullptr;
        if (m_hadOld) m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (m_hadOld) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_hadOld = false;
    std::string m_old;
};

// Calendar fields of one moment as Python's datetime gives them in a zone.
struct Expected {
    int64_t seconds;
    int32_t year, month, day, hour, minute, second, weekday, dayOfYear, daysInMonth, daysInYear;
};

// Reads requests "create ZONE y,m,d,h,mi,s", "moment ZONE seconds" and "text SECONDS", one a
// line, and answers each on one line: the fields, or the three locale texts of a UTC moment.
const char* kPythonOracle = R"(
import sys, datetime, zoneinfo, calendar, locale, time
locale.setlocale(locale.LC_ALL, '')
for line in sys.stdin:
    mode, arg = line.split(' ', 1)
    if mode == 'text':
        t = time.gmtime(int(arg))
        print('|'.join(time.strftime(f, t) for f in ('%c', '%x', '%X')))
        continue
    zone, arg = arg.split()
    tz = datetime.timezone.utc if zone == 'UTC' else zoneinfo.ZoneInfo(zone)
    if mode == 'create':
        y, mo, d, h, mi, s = map(int, arg.split(','))
        t = int(datetime.datetime(y, mo, d, h, mi, s, tzinfo=tz).timestamp())
    else:
        t = int(arg)
    dt = datetime.datetime.fromtimestamp(t, tz)
    print(t, dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second, dt.isoweekday() % 7,
          dt.timetuple().tm_yday, calendar.monthrange(dt.year, dt.month)[1],
          366 if calendar.isleap(dt.year) else 365)
)";

const char* const kZones[] = {"UTC", "America/New_York"};

// Moments around both daylight-saving changes of 2017 in New York, leap days, the ends of the
// calendar's range and the 32-bit limit.
const std::vector<std::string> kCreateCases = {
    "2017,1,1,0,0,0",  "2017,3,12,1,59,59",  "2017,3,12,3,0,0",   "2017,11,5,0,59,59",
    "2017,11,5,2,0,0", "2016,2,29,23,59,59", "2016,12,31,12,0,0", "1970,1,1,0,0,0",
    "1970,1,2,0,0,0",  "2038,1,19,3,14,8",   "2000,2,29,6,30,15", "2999,12,31,12,0,0",
};

// The changes of 2017 in New York (07:00 and 06:00 UTC) with the seconds before them, the first
// and last moments the calendar takes apart, and 2^31.
const std::vector<std::string> kMoments = {"1489301999", "1489302000", "1509861599", "1509861600", "-43200",
                                           "0",          "2147483648", "951782400",  "32535215999"};

constexpr int64_t kTextMoment = 1483272245;  // 2017-01-01 12:04:05 UTC

// Python's answers to every request of this file, asked once: the interpreter is slow to start.
const std::map<std::string, std::string>& PythonAnswers(const std::string& folder) {
    static std::map<std::string, std::string> answers;
    if (!answers.empty()) return answers;
    std::vector<std::string> requests;
    for (const char* zone : kZones) {
        for (const std::string& c : kCreateCases) requests.push_back(std::string("create ") + zone + " " + c);
        for (const std::string& m : kMoments) requests.push_back(std::string("moment ") + zone + " " + m);
    }
    requests.push_back("text " + std::to_string(kTextMoment));
    const std::string script = folder + "/oracle.py", input = folder + "/requests.txt";
    std::ofstream(script) << kPythonOracle;
    std::ofstream requestFile(input);
    for (const std::string& r : requests) requestFile << r << "\n";
    requestFile.close();
    std::istringstream lines(RunCommand("python3 " + script + " < " + input));
    std::string line;
    for (size_t k = 0; k < requests.size() && std::getline(lines, line); ++k) answers[requests[k]] = line;
    EXPECT_EQ(answers.size(), requests.size()) << "python3 with zoneinfo is needed";
    return answers;
}

class DateTest : public MiscTest {
protected:
    void SetUp() override {
        MiscTest::SetUp();
        Run("date_set_timezone", {R(0)});
    }
    void TearDown() override {
        Run("date_set_timezone", {R(0)});
        Date_SetClock(nullptr);
        MiscTest::TearDown();
    }

    std::string Folder() const { return std::filesystem::path(g_Switches.outputFile).parent_path(); }

    // Python's fields for a request ("create ZONE y,m,d,h,mi,s" or "moment ZONE seconds").
    Expected PythonFields(const std::string& request) {
        const auto& answers = PythonAnswers(Folder());
        const auto found = answers.find(request);
        Expected e{};
        if (found == answers.end()) {
            ADD_FAILURE() << "no answer for " << request;
            return e;
        }
        std::istringstream line(found->second);
        line >> e.seconds >> e.year >> e.month >> e.day >> e.hour >> e.minute >> e.second >> e.weekday >>
            e.dayOfYear >> e.daysInMonth >> e.daysInYear;
        return e;
    }

    // Every field built-in of the date against Python's answer.
    void ExpectFields(double date, const Expected& e, const std::string& what) {
        SCOPED_TRACE(what);
        const int64_t secondOfYear = ((e.dayOfYear - 1) * 24LL + e.hour) * 3600 + e.minute * 60 + e.second;
        struct Case {
            const char* name;
            double expected;
        };
        const Case cases[] = {
            {"date_get_year", double(e.year)},
            {"date_get_month", double(e.month)},
            {"date_get_day", double(e.day)},
            {"date_get_hour", double(e.hour)},
            {"date_get_minute", double(e.minute)},
            {"date_get_second", double(e.second)},
            {"date_get_weekday", double(e.weekday)},
            {"date_get_week", double((e.dayOfYear - 1) / 7)},
            {"date_get_day_of_year", double(e.dayOfYear)},
            {"date_get_hour_of_year", double(secondOfYear / 3600)},
            {"date_get_minute_of_year", double(secondOfYear / 60)},
            {"date_get_second_of_year", double(secondOfYear)},
            {"date_days_in_month", double(e.daysInMonth)},
            {"date_days_in_year", double(e.daysInYear)},
            {"date_leap_year", e.daysInYear == 366 ? 1.0 : 0.0},
        };
        for (const Case& c : cases) EXPECT_EQ(Real(c.name, {R(date)}), c.expected) << c.name;
    }
};

TEST_F(DateTest, CreatedDatesMatchPythonAndGnuDateInUtcAndNewYork) {
    for (const char* zone : kZones) {
        ZoneScope scope(zone);
        for (size_t k = 0; k < kCreateCases.size(); ++k) {
            const Expected e = PythonFields(std::string("create ") + zone + " " + kCreateCases[k]);
            int y, mo, d, h, mi, s;
            std::sscanf(kCreateCases[k].c_str(), "%d,%d,%d,%d,%d,%d", &y, &mo, &d, &h, &mi, &s);
            char when[64];
            std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
            const std::string gnu = RunCommand("TZ=" + std::string(zone) + " date -d '" + when + "' +%s");
            EXPECT_EQ(std::atoll(gnu.c_str()), e.seconds) << zone << " " << when << " (GNU date)";
            const double date = Real("date_create_datetime", {R(y), R(mo), R(d), R(h), R(mi), R(s)});
            EXPECT_EQ(date, (double(e.seconds) + 0.5) / 86400.0 + 25569.0) << zone << " " << when;
            ExpectFields(date, e, std::string(zone) + " " + when);
        }
    }
    EXPECT_TRUE(Fatal().empty());
}

TEST_F(DateTest, FieldsOfMomentsMatchPythonLocallyAndInUtc) {
    ZoneScope scope("America/New_York");
    for (int setting : {0, 1}) {
        Run("date_set_timezone", {R(setting)});
        const std::string zone = setting == 0 ? "America/New_York" : "UTC";
        for (const std::string& moment : kMoments) {
            const Expected e = PythonFields("moment " + zone + " " + moment);
            EXPECT_EQ(e.seconds, std::atoll(moment.c_str()));
            ExpectFields(Date_FromSeconds(e.seconds), e,
                         "setting " + std::to_string(setting) + " at " + moment);
        }
    }
}

TEST_F(DateTest, FirstDayOf2017InUtc) {
    Run("date_set_timezone", {R(1)});
    const double date = Real("date_create_datetime", {R(2017), R(1), R(1), R(0), R(0), R(0)});
    EXPECT_DOUBLE_EQ(date, 42736.0 + 0.5 / 86400.0);
    EXPECT_EQ(Real("date_create_date", {R(2017), R(1), R(1)}), date);
    EXPECT_EQ(Real("date_get_weekday", {R(date)}), 0.0);
    EXPECT_EQ(Real("date_get_week", {R(date)}), 0.0);
    EXPECT_EQ(Real("date_get_day_of_year", {R(date)}), 1.0);
    EXPECT_EQ(Real("date_get_hour_of_year", {R(date)}), 0.0);
}

TEST_F(DateTest, IncrementsMatchGnuDateInUtcFields) {
    struct Case {
        const char* when;  // UTC
        const char* unit;  // the built-in's suffix and GNU date's word
        int amount;
    };
    const Case cases[] = {{"2016-01-31 00:00:00", "month", 1},  {"2017-01-31 12:00:00", "month", 1},
                          {"2016-03-31 10:00:00", "month", -1}, {"2016-02-29 10:00:00", "year", 1},
                          {"2016-12-31 23:59:59", "second", 1}, {"2016-12-31 23:59:59", "minute", -90},
                          {"2017-03-12 01:30:00", "hour", 1},   {"2017-11-05 05:30:00", "day", 3},
                          {"2017-12-25 08:00:00", "week", 2},   {"2017-06-15 00:00:00", "month", 25},
                          {"2018-01-01 00:00:00", "day", -365}, {"2020-02-29 00:00:00", "year", -4}};
    ZoneScope scope("America/New_York");  // increments ignore both the zone and the setting
    for (const Case& c : cases) {
        const std::string start = RunCommand(std::string("TZ=UTC0 date -d '") + c.when + "' +%s");
        const std::string relative = c.amount >= 0 ? std::to_string(c.amount) + " " + c.unit
                                                   : std::to_string(-c.amount) + " " + c.unit + " ago";
        const std::string end =
            RunCommand(std::string("TZ=UTC0 date -d '") + c.when + " " + relative + "' +%s");
        ASSERT_FALSE(start.empty() || end.empty()) << "GNU date is needed";
        const double from = Date_FromSeconds(std::atoll(start.c_str()));
        const double to = Real((std::string("date_inc_") + c.unit).c_str(), {R(from), R(c.amount)});
        EXPECT_EQ(to, Date_FromSeconds(std::atoll(end.c_str()))) << c.when << " " << relative;
    }
}

TEST_F(DateTest, IncMonthOfThe31stOfJanuary2016GivesTheSecondOfMarch) {
    Run("date_set_timezone", {R(1)});
    const double january = Real("date_create_date", {R(2016), R(1), R(31)});
    const double march = Real("date_inc_month", {R(january), R(1)});
    EXPECT_EQ(Real("date_get_month", {R(march)}), 3.0);
    EXPECT_EQ(Real("date_get_day", {R(march)}), 2.0);
    EXPECT_EQ(march, Real("date_create_date", {R(2016), R(3), R(2)}));
}

TEST_F(DateTest, IncrementsThatLeaveTheCalendarFail) {
    Run("date_set_timezone", {R(1)});
    const double date = Real("date_create_date", {R(2017), R(1), R(1)});
    EXPECT_EQ(Real("date_inc_year", {R(date), R(2000)}), -1.0);  // after the year 3000
    EXPECT_EQ(Real("date_inc_day", {R(25000.0), R(1)}), -1.0);   // 1968 has no fields
    EXPECT_EQ(Real("date_inc_week", {R(date), R(2147483647)}), -1.0);
    EXPECT_EQ(Real("date_inc_second", {R(std::nan("")), R(1)}), -1.0);
}

// A step back over 1 January 1970 gives the composed date, as any other step does.
TEST_F(DateTest, IncrementsBackOver1970GiveTheComposedDate) {
    Run("date_set_timezone", {R(1)});
    const double epoch = Date_FromSeconds(0);
    EXPECT_EQ(Real("date_inc_second", {R(epoch), R(-1)}), Date_FromSeconds(-1));
    EXPECT_EQ(Real("date_inc_day", {R(epoch), R(-1)}), Date_FromSeconds(-86400));
    EXPECT_EQ(Real("date_inc_second", {R(Date_FromSeconds(5)), R(-3605)}), Date_FromSeconds(-3600));
    const double date = Real("date_create_date", {R(2017), R(1), R(1)});
    const double year1969 = Real("date_inc_year", {R(date), R(-48)});
    EXPECT_EQ(year1969, Date_FromSeconds(-365 * 86400));
}

TEST_F(DateTest, ValidityOfDatesAndTimes) {
    struct Case {
        const char* name;
        std::vector<double> args;
        double expected;
    };
    const Case cases[] = {
        {"date_valid_date", {2016, 2, 29}, 1},
        {"date_valid_date", {2017, 2, 29}, 0},
        {"date_valid_date", {1969, 6, 1}, 0},
        {"date_valid_date", {1970, 1, 1}, 1},
        {"date_valid_date", {2017, 13, 1}, 0},
        {"date_valid_date", {2017, 0, 1}, 0},
        {"date_valid_date", {2017, 4, 31}, 0},
        {"date_valid_date", {2017, 4, 0}, 0},
        {"date_valid_date", {-5, 1, 1}, 0},
        {"date_valid_date", {2100, 2, 29}, 0},
        {"date_valid_date", {2000, 2, 29}, 1},
        {"date_valid_time", {24, 0, 0}, 0},
        {"date_valid_time", {23, 59, 59}, 1},
        {"date_valid_time", {0, -1, 0}, 0},
        {"date_valid_time", {0, 0, 60}, 0},
        {"date_valid_datetime", {2016, 2, 29, 23, 59, 59}, 1},
        {"date_valid_datetime", {2016, 2, 29, 24, 0, 0}, 0},
        {"date_valid_datetime", {2017, 2, 29, 0, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        std::vector<RValue> args;
        for (double a : c.args) args.push_back(R(a));
        EXPECT_EQ(Real(c.name, std::move(args)), c.expected)
            << c.name << " " << c.args[0] << " " << c.args[1];
    }
}

TEST_F(DateTest, CreatingBefore1970IsAFatalError) {
    Run("date_set_timezone", {R(1)});
    EXPECT_EQ(Run("date_create_date", {R(1969), R(12), R(31)})->Kind(), uint32_t(VALUE_UNDEFINED));
    EXPECT_EQ(Run("date_create_datetime", {R(3001), R(1), R(1), R(0), R(0), R(0)})->Kind(),
              uint32_t(VALUE_UNDEFINED));
    EXPECT_EQ(Run("date_create_date", {R(-2147483648.0), R(-2147483648.0), R(1)})->Kind(),
              uint32_t(VALUE_UNDEFINED));
    ASSERT_EQ(Fatal().size(), 3u);
    EXPECT_EQ(Fatal()[0], "invalid date conversion - dates earlier than 1 Jan 1970 will be incorrect");
    // Fields out of range carry over: month 13 of 1969 is January 1970.
    EXPECT_EQ(Real("date_create_date", {R(1969), R(13), R(1)}),
              Real("date_create_date", {R(1970), R(1), R(1)}));
}

TEST_F(DateTest, CreateTimeGivesTheFractionOfADay) {
    Run("date_set_timezone", {R(1)});
    EXPECT_EQ(Real("date_create_time", {R(6), R(0), R(0)}), 0.25);
    EXPECT_EQ(Real("date_create_time", {R(0), R(0), R(0)}), 0.0);
    const double moment =
        Real("date_create_date", {R(2017), R(5), R(4)}) + Real("date_create_time", {R(6), R(30), R(15)});
    EXPECT_EQ(Real("date_get_hour", {R(moment)}), 6.0);
    EXPECT_EQ(Real("date_get_minute", {R(moment)}), 30.0);
    EXPECT_EQ(Real("date_get_second", {R(moment)}), 15.0);
    EXPECT_TRUE(Fatal().empty());
}

TEST_F(DateTest, DatesNextTo1970ConvertByTheGeneralRule) {
    Run("date_set_timezone", {R(1)});
    const double fourSeconds = 25569.0 + 4.5 / 86400.0;  // within 0.0001 days of 25569
    EXPECT_EQ(Real("date_get_year", {R(fourSeconds)}), 1970.0);
    EXPECT_EQ(Real("date_get_second", {R(fourSeconds)}), 4.0);
    // Before 1970 the half second still rounds to the whole second below.
    const double hourBefore = Date_FromSeconds(-3600);
    EXPECT_EQ(Real("date_get_year", {R(hourBefore)}), 1969.0);
    EXPECT_EQ(Real("date_get_hour", {R(hourBefore)}), 23.0);
    EXPECT_EQ(Real("date_get_second", {R(hourBefore)}), 0.0);
}

TEST_F(DateTest, DatesWithoutFieldsGiveEachRowsFailureValue) {
    struct Case {
        const char* name;
        double expected;
    };
    const Case cases[] = {
        {"date_get_year", -1},        {"date_get_month", -1},         {"date_get_week", -1},
        {"date_get_day", -1},         {"date_get_hour", -1},          {"date_get_minute", -1},
        {"date_get_second", -1},      {"date_get_weekday", -1},       {"date_get_day_of_year", 0},
        {"date_get_hour_of_year", 0}, {"date_get_minute_of_year", 0}, {"date_get_second_of_year", 0},
        {"date_days_in_month", 0},    {"date_days_in_year", 365},     {"date_leap_year", 0},
        {"date_is_today", 0}};
    // 1968 (a leap year), the year 3001, and values that stand for no time at all.
    for (double date : {25000.0, 410000.0, std::nan(""), 1e300}) {
        for (const Case& c : cases) EXPECT_EQ(Real(c.name, {R(date)}), c.expected) << c.name << " " << date;
        EXPECT_EQ(Text("date_datetime_string", {R(date)}), "invalid time");
    }
}

TEST_F(DateTest, SpansComparisonsAndParts) {
    const double a = 43000.25, b = a + 365.25;
    EXPECT_EQ(Real("date_year_span", {R(a), R(b)}), 1.0);
    EXPECT_EQ(Real("date_month_span", {R(b), R(a)}), 12.0);
    EXPECT_EQ(Real("date_week_span", {R(a), R(a + 3.5)}), 0.5);
    EXPECT_EQ(Real("date_day_span", {R(a), R(b)}), Real("date_day_span", {R(b), R(a)}));
    EXPECT_EQ(Real("date_hour_span", {R(a), R(a + 0.5)}), 12.0);
    EXPECT_EQ(Real("date_minute_span", {R(a), R(a + 1)}), 1440.0);
    EXPECT_EQ(Real("date_second_span", {R(a), R(a + 1)}), 86400.0);
    EXPECT_EQ(Real("date_compare_datetime", {R(a), R(a)}), 0.0);
    EXPECT_EQ(Real("date_compare_datetime", {R(b), R(a)}), 1.0);
    EXPECT_EQ(Real("date_compare_datetime", {R(a), R(b)}), -1.0);
    EXPECT_EQ(Real("date_compare_date", {R(43000.1), R(43000.9)}), 0.0);
    EXPECT_EQ(Real("date_compare_date", {R(43001.1), R(43000.9)}), 1.0);
    EXPECT_EQ(Real("date_compare_time", {R(43001.1), R(43000.9)}), -1.0);
    EXPECT_EQ(Real("date_compare_time", {R(43001.5), R(42000.5)}), 0.0);
    EXPECT_EQ(Real("date_date_of", {R(43000.75)}), 43000.0);
    EXPECT_EQ(Real("date_time_of", {R(43000.75)}), 0.75);
    EXPECT_EQ(Real("date_time_of", {R(-2.25)}), -0.25);  // the sign stays
}

TEST_F(DateTest, TheTimeZoneSettingIsZeroForLocalAndAnythingElseForUtc) {
    EXPECT_EQ(Real("date_get_timezone"), 0.0);
    EXPECT_EQ(Real("date_set_timezone", {R(5)}), 0.0);
    EXPECT_EQ(Real("date_get_timezone"), 1.0);
    Run("date_set_timezone", {R(0)});
    EXPECT_EQ(Real("date_get_timezone"), 0.0);
}

int64_t g_fixedNow = 0;

TEST_F(DateTest, CurrentMomentTodayAndDateNowFollowTheClock) {
    g_fixedNow = 1509861600;  // 2017-11-05 06:00:00 UTC, 01:00 EST in New York
    Date_SetClock([] { return g_fixedNow; });
    const double now = Real("date_current_datetime");
    EXPECT_EQ(now, Date_FromSeconds(g_fixedNow));
    EXPECT_EQ(Real("date_current_date"), now);
    EXPECT_EQ(Real("date_current_time"), now);
    ZoneScope scope("America/New_York");
    EXPECT_EQ(Real("date_is_today", {R(now + 0.5)}), 1.0);  // 13:00 local
    EXPECT_EQ(Real("date_is_today", {R(now - 0.2)}), 0.0);  // 20:12 local, the day before
    EXPECT_EQ(Real("date_is_today", {R(now - 1)}), 0.0);
    EXPECT_EQ(Real("date_is_today", {R(now + 365)}), 0.0);  // same day of another year
    const struct tm local = Date_Now();
    EXPECT_EQ(local.tm_year + 1900, 2017);
    EXPECT_EQ(local.tm_mon + 1, 11);
    EXPECT_EQ(local.tm_mday, 5);
    EXPECT_EQ(local.tm_hour, 1);
    EXPECT_EQ(local.tm_wday, 0);
    Run("date_set_timezone", {R(1)});
    EXPECT_EQ(Date_Now().tm_hour, 6);
    EXPECT_EQ(Real("date_is_today", {R(now - 0.2)}), 1.0);  // 01:12 on the 5th in UTC
}

TEST_F(DateTest, TextsUseThePlayersLocaleFormats) {
    ZoneScope scope("UTC");
    const auto& answers = PythonAnswers(Folder());
    const auto found = answers.find("text " + std::to_string(kTextMoment));
    ASSERT_NE(found, answers.end());
    std::istringstream texts(found->second);
    std::string c, x, X;
    ASSERT_TRUE(std::getline(texts, c, '|') && std::getline(texts, x, '|') && std::getline(texts, X, '|'));
    const double date = Date_FromSeconds(kTextMoment);
    EXPECT_EQ(Text("date_datetime_string", {R(date)}), c);
    EXPECT_EQ(Text("date_date_string", {R(date)}), x);
    EXPECT_EQ(Text("date_time_string", {R(date)}), X);
    // Numbers are still written the "C" way afterwards.
    char number[16];
    std::snprintf(number, sizeof number, "%.1f", 2.5);
    EXPECT_STREQ(number, "2.5");
}

}  // namespace
