#include "schema.h"

#include "rack_summary.h"
#include "sqlite_db.h"

namespace pcs::embedded {

namespace {

// Texts compare without regard to case, as under the lab server's collation.
const char* const Schema_Sql = R"sql(
CREATE TABLE main.db_info (
    NAME  TEXT PRIMARY KEY,
    VALUE TEXT);

CREATE TABLE main.test_groups (
    TEST_GROUP   TEXT PRIMARY KEY COLLATE NOCASE,
    DESCRIPTION  TEXT,
    IS_WEIGHED   INTEGER NOT NULL DEFAULT 0,
    RESULT_TABLE TEXT);

CREATE TABLE main.test_actions (
    TEST_GROUP  TEXT NOT NULL COLLATE NOCASE,
    TEST_ACTION TEXT NOT NULL COLLATE NOCASE,
    DESCRIPTION TEXT,
    PRIMARY KEY (TEST_GROUP, TEST_ACTION));

CREATE TABLE main.samples (
    LAB_ID            INTEGER PRIMARY KEY,
    LAB_NUMBER        TEXT NOT NULL COLLATE NOCASE,
    LAB_CODE          TEXT NOT NULL COLLATE NOCASE,
    COMPONENT_CODE    TEXT COLLATE NOCASE,
    CUSTOMER          TEXT,
    SAMPLE_TYPE       TEXT NOT NULL DEFAULT 'SAMPLE' COLLATE NOCASE,
    PRIORITY          TEXT NOT NULL DEFAULT 'NORMAL' COLLATE NOCASE,
    RECEIVED_DATETIME TEXT NOT NULL,
    DESIRED_WEIGHT    TEXT,
    DOPICTURE         INTEGER NOT NULL DEFAULT 0,
    UNIQUE (LAB_CODE, LAB_NUMBER));
CREATE INDEX main.samples_component ON samples (COMPONENT_CODE, RECEIVED_DATETIME);
CREATE INDEX main.samples_number ON samples (LAB_NUMBER);

CREATE TABLE main.lab_tracking (
    TRACK_ID       INTEGER PRIMARY KEY,
    LAB_ID         INTEGER NOT NULL REFERENCES samples (LAB_ID),
    LAB_CODE       TEXT NOT NULL COLLATE NOCASE,
    TEST_GROUP     TEXT NOT NULL COLLATE NOCASE,
    RUN_NO         INTEGER NOT NULL DEFAULT 1,
    STATUS         TEXT NOT NULL DEFAULT 'READY' COLLATE NOCASE,
    CLASS          TEXT COLLATE NOCASE,
    TEST_ACTION    TEXT COLLATE NOCASE,
    WEIGHT         TEXT,
    EMP_NUM        INTEGER,
    COMMENTS       TEXT,
    DATE_ADDED     TEXT NOT NULL,
    DATE_COMPLETED TEXT,
    UNIQUE (LAB_ID, TEST_GROUP, RUN_NO));
CREATE INDEX main.lab_tracking_open ON lab_tracking (TEST_GROUP, STATUS);

CREATE TABLE main.testgroup_pc (
    LAB_ID        INTEGER NOT NULL,
    RUN_NO        INTEGER NOT NULL,
    INSTRUMENT_ID TEXT,
    FILENAME      TEXT,
    METHOD        TEXT,
    SAMPLE_VOLUME REAL,
    FACTOR_VOLUME REAL,
    PC2   REAL, PC5   REAL, PC15   REAL, PC25   REAL, PC50   REAL, PC100   REAL, PC200   REAL,
    PC2_ML REAL, PC5_ML REAL, PC15_ML REAL, PC25_ML REAL, PC50_ML REAL, PC100_ML REAL, PC200_ML REAL,
    ISO_CODE TEXT,
    ISO_2    INTEGER,
    ISO_5    INTEGER,
    ISO_15   INTEGER,
    EMP_NUM  INTEGER,
    DATE_ENTERED TEXT,
    PRIMARY KEY (LAB_ID, RUN_NO));

CREATE TABLE main.testgroup_screen (
    LAB_ID INTEGER NOT NULL,
    RUN_NO INTEGER NOT NULL,
    APPEARANCE TEXT, BABBITT TEXT, DEBRIS TEXT, DIRT TEXT, H2O_EMUL TEXT, H2O_FREE TEXT, ODOR TEXT,
    PRECIPITATE TEXT, SILT TEXT, WHITE_METAL TEXT,
    STATUS_VISUAL INTEGER, STATUS_SPAT INTEGER, STATUS_IMAGE INTEGER,
    COMPLETED TEXT,
    EMP_NUM INTEGER,
    DATE_ENTERED TEXT,
    DATE_COMPLETED TEXT,
    PRIMARY KEY (LAB_ID, RUN_NO));

CREATE TABLE main.testgroup_kf (LAB_ID INTEGER NOT NULL, RUN_NO INTEGER NOT NULL, WEIGHT TEXT, RESULT REAL,
    DATE_COMPLETED TEXT, PRIMARY KEY (LAB_ID, RUN_NO));
CREATE TABLE main.testgroup_tanman (LAB_ID INTEGER NOT NULL, RUN_NO INTEGER NOT NULL, WEIGHT TEXT, RESULT REAL,
    DATE_COMPLETED TEXT, PRIMARY KEY (LAB_ID, RUN_NO));
CREATE TABLE main.testgroup_tanauto (LAB_ID INTEGER NOT NULL, RUN_NO INTEGER NOT NULL, WEIGHT TEXT, RESULT REAL,
    DATE_COMPLETED TEXT, PRIMARY KEY (LAB_ID, RUN_NO));
CREATE TABLE main.testgroup_tbn (LAB_ID INTEGER NOT NULL, RUN_NO INTEGER NOT NULL, WEIGHT TEXT, RESULT REAL,
    DATE_COMPLETED TEXT, PRIMARY KEY (LAB_ID, RUN_NO));
CREATE TABLE main.testgroup_SpecGravity (LAB_ID INTEGER NOT NULL, RUN_NO INTEGER NOT NULL, WEIGHT TEXT,
    RESULT REAL, DATE_COMPLETED TEXT, PRIMARY KEY (LAB_ID, RUN_NO));

-- Passwords are never kept: a keyed hash finds the employee, a slow password hash verifies.
CREATE TABLE main.employee_passwords (
    LAB_CODE TEXT NOT NULL COLLATE NOCASE,
    LOOKUP   TEXT NOT NULL,
    EMP_NUM  INTEGER NOT NULL UNIQUE,
    PWHASH   TEXT NOT NULL,
    DATE_SET TEXT NOT NULL,
    PRIMARY KEY (LAB_CODE, LOOKUP));

CREATE TABLE labrack.racks (
    RACK_ID       INTEGER PRIMARY KEY,
    RACK_DESC     TEXT NOT NULL UNIQUE COLLATE NOCASE,
    LAB_CODE      TEXT NOT NULL COLLATE NOCASE,
    TEST_GROUP    TEXT COLLATE NOCASE,
    CURR_USER     INTEGER,
    CURR_STATION  TEXT,
    DATE_ACQUIRED TEXT,
    DATE_CREATED  TEXT NOT NULL);

CREATE TABLE labrack.rack_positions (
    RACK_ID  INTEGER NOT NULL REFERENCES racks (RACK_ID),
    POSITION INTEGER NOT NULL,
    LAB_ID   INTEGER NOT NULL,
    PRIMARY KEY (RACK_ID, POSITION));
CREATE INDEX labrack.rack_positions_sample ON rack_positions (LAB_ID);

CREATE TABLE labrack.instrument_batches (
    BATCH_ID       INTEGER PRIMARY KEY,
    INSTRUMENT_ID  TEXT NOT NULL COLLATE NOCASE,
    LAB_CODE       TEXT NOT NULL COLLATE NOCASE,
    TEST_GROUP     TEXT NOT NULL COLLATE NOCASE,
    DATE_CREATED   TEXT NOT NULL,
    DATE_COMPLETED TEXT);

CREATE TABLE labrack.batch_details (
    DETAIL_ID   INTEGER PRIMARY KEY,
    BATCH_ID    INTEGER NOT NULL REFERENCES instrument_batches (BATCH_ID),
    POSITION    INTEGER NOT NULL CHECK (POSITION BETWEEN 1 AND 30),
    SAMPLE_ID   TEXT NOT NULL COLLATE NOCASE,
    SAMPLE_TYPE TEXT NOT NULL DEFAULT 'SAMPLE',
    RUN_NO      INTEGER,
    WEIGHT      TEXT,
    EXTRA       TEXT,
    PRIORITY    TEXT,
    EMP_NUM     INTEGER,
    DATE_ADDED  TEXT NOT NULL,
    UNIQUE (BATCH_ID, POSITION),
    UNIQUE (BATCH_ID, SAMPLE_ID));

CREATE TABLE labrack.Lab_Software (
    SOFTWARE_ID INTEGER PRIMARY KEY,
    NAME        TEXT NOT NULL UNIQUE COLLATE NOCASE,
    DESCRIPTION TEXT);

CREATE TABLE labrack.Lab_Software_Settings (
    SOFTWARE_ID INTEGER NOT NULL REFERENCES Lab_Software (SOFTWARE_ID),
    SETTING     TEXT NOT NULL COLLATE NOCASE,
    VALUE       TEXT,
    DESCRIPTION TEXT,
    TYPE        TEXT NOT NULL DEFAULT 'NORMAL' COLLATE NOCASE,
    PRIMARY KEY (SOFTWARE_ID, SETTING));

CREATE TABLE sop.documents (
    DOC_ID     TEXT PRIMARY KEY COLLATE NOCASE,
    DOC_TYPE   TEXT,
    TITLE      TEXT,
    REVISION   TEXT,
    Test_Group TEXT NOT NULL DEFAULT '');

CREATE TABLE hadel.employees (
    EMP_NUM       INTEGER PRIMARY KEY,
    LAB_CODE      TEXT NOT NULL COLLATE NOCASE,
    FIRSTNAME     TEXT NOT NULL,
    LASTNAME      TEXT NOT NULL,
    JOB_DESC      TEXT,
    FUNC_GROUP    TEXT COLLATE NOCASE,
    SUPERVISOR_ID INTEGER,
    DISMISSED     TEXT NOT NULL DEFAULT 'N' COLLATE NOCASE,
    ISADMIN       INTEGER NOT NULL DEFAULT 0,
    STATION       TEXT);

CREATE VIEW hadel.view_employees AS
    SELECT EMP_NUM, LAB_CODE, FIRSTNAME, LASTNAME, FIRSTNAME || ' ' || LASTNAME AS FULL_NAME, JOB_DESC,
           FUNC_GROUP, SUPERVISOR_ID, DISMISSED, ISADMIN, STATION
    FROM employees;

INSERT INTO main.test_groups (TEST_GROUP, DESCRIPTION, IS_WEIGHED, RESULT_TABLE) VALUES
    ('PrtCount', 'Particle count ISO 4406', 0, 'testgroup_pc'),
    ('SCREEN', 'Visual screening', 0, 'testgroup_screen'),
    ('KF', 'Water by Karl Fischer', 1, 'testgroup_kf'),
    ('TAN MAN', 'Acid number, manual titration', 1, 'testgroup_tanman'),
    ('TAN AUTO', 'Acid number, automatic titration', 1, 'testgroup_tanauto'),
    ('TBN', 'Base number', 1, 'testgroup_tbn'),
    ('SPECGRAVITY', 'Specific gravity', 1, 'testgroup_SpecGravity');

INSERT INTO main.test_actions (TEST_GROUP, TEST_ACTION, DESCRIPTION) VALUES
    ('PrtCount', 'NOT_ENOUGH', 'Not enough sample'),
    ('PrtCount', 'HIGH_H2O', 'Water content too high to count'),
    ('PrtCount', 'TOO_DARK', 'Sample too dark to count'),
    ('PrtCount', 'TOO_CLOUDY', 'Sample too cloudy to count'),
    ('SCREEN', 'NOT_ENOUGH', 'Not enough sample'),
    ('SCREEN', 'BROKEN', 'Bottle broken or leaking'),
    ('SCREEN', 'NO_LABEL', 'Bottle without a readable label');
)sql";

// The READY tests of each lab and test group, kept by triggers so that a count is one lookup and not a
// walk over every outstanding test. Keys and status compare without regard to case, as the columns of
// lab_tracking do. The fill counts again from lab_tracking, so the script may run again (two processes
// opening an older file at once) and still leaves exact counts. Its db_info row and last trigger mark a
// script that ran through.
const char* const Ready_Counts_Sql = R"sql(
CREATE TABLE IF NOT EXISTS main.ready_counts (
    LAB_CODE   TEXT NOT NULL COLLATE NOCASE,
    TEST_GROUP TEXT NOT NULL COLLATE NOCASE,
    N          INTEGER NOT NULL,
    PRIMARY KEY (LAB_CODE, TEST_GROUP)) WITHOUT ROWID;
DELETE FROM main.ready_counts;
INSERT INTO main.ready_counts (LAB_CODE, TEST_GROUP, N)
    SELECT LAB_CODE, TEST_GROUP, count(*) FROM main.lab_tracking
    WHERE STATUS = 'READY' COLLATE NOCASE GROUP BY LAB_CODE, TEST_GROUP;
CREATE TRIGGER IF NOT EXISTS main.lab_tracking_ready_insert AFTER INSERT ON lab_tracking
WHEN NEW.STATUS = 'READY' COLLATE NOCASE BEGIN
    INSERT INTO ready_counts (LAB_CODE, TEST_GROUP, N) VALUES (NEW.LAB_CODE, NEW.TEST_GROUP, 1)
        ON CONFLICT (LAB_CODE, TEST_GROUP) DO UPDATE SET N = N + 1;
END;
CREATE TRIGGER IF NOT EXISTS main.lab_tracking_ready_delete AFTER DELETE ON lab_tracking
WHEN OLD.STATUS = 'READY' COLLATE NOCASE BEGIN
    UPDATE ready_counts SET N = N - 1 WHERE LAB_CODE = OLD.LAB_CODE AND TEST_GROUP = OLD.TEST_GROUP;
END;
CREATE TRIGGER IF NOT EXISTS main.lab_tracking_ready_update AFTER UPDATE OF STATUS, TEST_GROUP, LAB_CODE
ON lab_tracking WHEN OLD.STATUS = 'READY' COLLATE NOCASE OR NEW.STATUS = 'READY' COLLATE NOCASE BEGIN
    UPDATE ready_counts SET N = N - 1
        WHERE OLD.STATUS = 'READY' COLLATE NOCASE AND LAB_CODE = OLD.LAB_CODE AND TEST_GROUP = OLD.TEST_GROUP;
    INSERT INTO ready_counts (LAB_CODE, TEST_GROUP, N)
        SELECT NEW.LAB_CODE, NEW.TEST_GROUP, 1 WHERE NEW.STATUS = 'READY' COLLATE NOCASE
        ON CONFLICT (LAB_CODE, TEST_GROUP) DO UPDATE SET N = N + 1;
END;
INSERT OR IGNORE INTO main.db_info (NAME, VALUE) VALUES ('ready_counts', '1');
)sql";

} // namespace

const char* Ready_Counts_Schema_Sql() {
    return Ready_Counts_Sql;
}

void Create_Schema(Sqlite_Db& db) {
    Transaction tx(db, true);
    db.Exec_Script(Schema_Sql);
    db.Exec_Script(Rack_Summary_Schema_Sql());
    db.Exec_Script(Ready_Counts_Schema_Sql());
    db.Exec("INSERT INTO main.db_info (NAME, VALUE) VALUES ('schema_version', ?1), ('created', ?2)",
            {std::string(Schema_Version), Now_Text()});
    tx.Commit();
}

} // namespace pcs::embedded
