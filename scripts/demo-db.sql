-- The demo database for oci-lite (OCI.DLL over SQLite): users, their stored objects and the
-- PL/SQL source of each, laid out as the data contract fixes it. Built by make-demo-db.sh.
--
-- Users (passwords are case-sensitive): SCOTT/TIGER (the demo schema), HR/HR (a second
-- schema, to show that each user sees only their own objects), BLAKE/tiger (a password that
-- differs from SCOTT's only in case), SYS/ORACLE (may connect AS SYSDBA; the session then works
-- as SYS), SYSTEM/MANAGER (no objects, may read DBA_OBJECTS and DBA_SOURCE).

CREATE TABLE users(name TEXT PRIMARY KEY, password TEXT NOT NULL, sysdba INTEGER NOT NULL DEFAULT 0,
                   account_status TEXT NOT NULL DEFAULT 'OPEN',
                   select_any_dictionary INTEGER NOT NULL DEFAULT 0);
CREATE TABLE objects(owner TEXT NOT NULL, object_name TEXT NOT NULL, object_type TEXT NOT NULL,
                     status TEXT NOT NULL DEFAULT 'VALID');
CREATE TABLE source(owner TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,
                    line INTEGER NOT NULL, text TEXT);

INSERT INTO users(name, password, sysdba, account_status, select_any_dictionary) VALUES
  ('SCOTT', 'TIGER', 0, 'OPEN', 0),
  ('HR', 'HR', 0, 'OPEN', 0),
  ('BLAKE', 'tiger', 0, 'OPEN', 0),
  ('SYS', 'ORACLE', 1, 'OPEN', 0),
  ('SYSTEM', 'MANAGER', 0, 'OPEN', 1);

INSERT INTO objects(owner, object_name, object_type, status) VALUES
  ('SCOTT', 'EMP_API', 'PACKAGE', 'VALID'),
  ('SCOTT', 'EMP_API', 'PACKAGE BODY', 'VALID'),
  ('SCOTT', 'HR_UTIL', 'PACKAGE', 'VALID'),
  ('SCOTT', 'HR_UTIL', 'PACKAGE BODY', 'VALID'),
  ('SCOTT', 'RAISE_SALARY', 'PROCEDURE', 'VALID'),
  ('SCOTT', 'GET_DEPT_NAME', 'FUNCTION', 'VALID'),
  ('SCOTT', 'ANNUAL_SALARY', 'FUNCTION', 'VALID'),
  ('SCOTT', 'EMP_AUDIT_TRG', 'TRIGGER', 'VALID'),
  ('SCOTT', 'EMP', 'TABLE', 'VALID'),
  ('HR', 'PAYROLL_PKG', 'PACKAGE', 'VALID'),
  ('HR', 'PAYROLL_PKG', 'PACKAGE BODY', 'VALID'),
  ('HR', 'ADD_JOB_HISTORY', 'PROCEDURE', 'VALID'),
  ('BLAKE', 'ORDER_API', 'PACKAGE', 'VALID'),
  ('BLAKE', 'ORDER_API', 'PACKAGE BODY', 'VALID'),
  ('BLAKE', 'ORDER_TOTAL', 'FUNCTION', 'VALID'),
  ('SYS', 'DBA_TOOLS', 'PACKAGE', 'VALID'),
  ('SYS', 'DBA_TOOLS', 'PACKAGE BODY', 'VALID');

-- Each object's source is written here as one text and split into USER_SOURCE lines below:
-- every line keeps its line feed, the last line usually has none.
CREATE TEMP TABLE object_text(owner TEXT, name TEXT, type TEXT, body TEXT);

INSERT INTO object_text VALUES ('SCOTT', 'EMP_API', 'PACKAGE',
'PACKAGE EMP_API AS
  -- Hiring, moving and firing employees of the EMP table.
  e_no_such_employee EXCEPTION;

  PROCEDURE hire(p_ename IN VARCHAR2, p_job IN VARCHAR2, p_sal IN NUMBER, p_deptno IN NUMBER,
                 p_empno OUT NUMBER);
  PROCEDURE transfer(p_empno IN NUMBER, p_deptno IN NUMBER);
  PROCEDURE fire(p_empno IN NUMBER);
  FUNCTION headcount(p_deptno IN NUMBER) RETURN PLS_INTEGER;
END EMP_API;');

INSERT INTO object_text VALUES ('SCOTT', 'EMP_API', 'PACKAGE BODY',
'PACKAGE BODY EMP_API AS

  PROCEDURE hire(p_ename IN VARCHAR2, p_job IN VARCHAR2, p_sal IN NUMBER, p_deptno IN NUMBER,
                 p_empno OUT NUMBER) IS
  BEGIN
    SELECT NVL(MAX(empno), 7000) + 1 INTO p_empno FROM emp;
    INSERT INTO emp (empno, ename, job, hiredate, sal, deptno)
    VALUES (p_empno, UPPER(p_ename), UPPER(p_job), SYSDATE, p_sal, p_deptno);
  END hire;

  PROCEDURE transfer(p_empno IN NUMBER, p_deptno IN NUMBER) IS
  BEGIN
    UPDATE emp SET deptno = p_deptno WHERE empno = p_empno;
    IF SQL%ROWCOUNT = 0 THEN
      RAISE e_no_such_employee;
    END IF;
  END transfer;

  PROCEDURE fire(p_empno IN NUMBER) IS
  BEGIN
    DELETE FROM emp WHERE empno = p_empno;
    IF SQL%ROWCOUNT = 0 THEN
      RAISE e_no_such_employee;
    END IF;
  END fire;

  FUNCTION headcount(p_deptno IN NUMBER) RETURN PLS_INTEGER IS
    v_count PLS_INTEGER;
  BEGIN
    SELECT COUNT(*) INTO v_count FROM emp WHERE deptno = p_deptno;
    RETURN v_count;
  END headcount;

END EMP_API;');

INSERT INTO object_text VALUES ('SCOTT', 'HR_UTIL', 'PACKAGE',
'PACKAGE HR_UTIL AS
  -- Small helpers shared by the reports.
  c_date_format CONSTANT VARCHAR2(10) := ''YYYY-MM-DD'';

  FUNCTION years_of_service(p_hiredate IN DATE) RETURN NUMBER;
  FUNCTION format_money(p_amount IN NUMBER) RETURN VARCHAR2;
END HR_UTIL;');

INSERT INTO object_text VALUES ('SCOTT', 'HR_UTIL', 'PACKAGE BODY',
'PACKAGE BODY HR_UTIL AS

  FUNCTION years_of_service(p_hiredate IN DATE) RETURN NUMBER IS
  BEGIN
    RETURN TRUNC(MONTHS_BETWEEN(SYSDATE, p_hiredate) / 12);
  END years_of_service;

  FUNCTION format_money(p_amount IN NUMBER) RETURN VARCHAR2 IS
  BEGIN
    RETURN TO_CHAR(p_amount, ''FM999G999G990D00'');
  END format_money;

END HR_UTIL;
');

INSERT INTO object_text VALUES ('SCOTT', 'RAISE_SALARY', 'PROCEDURE',
'PROCEDURE RAISE_SALARY(p_empno IN NUMBER, p_percent IN NUMBER) IS
  v_sal emp.sal%TYPE;
BEGIN
  SELECT sal INTO v_sal FROM emp WHERE empno = p_empno FOR UPDATE;
  UPDATE emp SET sal = ROUND(v_sal * (1 + p_percent / 100), 2) WHERE empno = p_empno;
EXCEPTION
  WHEN NO_DATA_FOUND THEN
    RAISE_APPLICATION_ERROR(-20001, ''Employee '' || p_empno || '' does not exist'');
END RAISE_SALARY;');

INSERT INTO object_text VALUES ('SCOTT', 'GET_DEPT_NAME', 'FUNCTION',
'FUNCTION GET_DEPT_NAME(p_deptno IN NUMBER) RETURN VARCHAR2 IS
  v_dname dept.dname%TYPE;
BEGIN
  SELECT dname INTO v_dname FROM dept WHERE deptno = p_deptno;
  RETURN v_dname;
EXCEPTION
  WHEN NO_DATA_FOUND THEN
    RETURN NULL;
END GET_DEPT_NAME;');

INSERT INTO object_text VALUES ('SCOTT', 'ANNUAL_SALARY', 'FUNCTION',
'FUNCTION ANNUAL_SALARY(p_sal IN NUMBER, p_comm IN NUMBER DEFAULT NULL) RETURN NUMBER IS
BEGIN
  RETURN p_sal * 12 + NVL(p_comm, 0); /* twelve months plus commission */
END;');

INSERT INTO object_text VALUES ('SCOTT', 'EMP_AUDIT_TRG', 'TRIGGER',
'TRIGGER EMP_AUDIT_TRG
  AFTER UPDATE OF sal ON emp
  FOR EACH ROW
BEGIN
  INSERT INTO emp_audit (empno, old_sal, new_sal, changed_on)
  VALUES (:OLD.empno, :OLD.sal, :NEW.sal, SYSDATE);
END;');

INSERT INTO object_text VALUES ('HR', 'PAYROLL_PKG', 'PACKAGE',
'PACKAGE PAYROLL_PKG AS
  PROCEDURE run_month(p_period IN DATE);
END PAYROLL_PKG;');

INSERT INTO object_text VALUES ('HR', 'PAYROLL_PKG', 'PACKAGE BODY',
'PACKAGE BODY PAYROLL_PKG AS
  PROCEDURE run_month(p_period IN DATE) IS
  BEGIN
    INSERT INTO payslips (employee_id, period, amount)
    SELECT employee_id, TRUNC(p_period, ''MM''), salary / 12 FROM employees;
  END run_month;
END PAYROLL_PKG;');

INSERT INTO object_text VALUES ('HR', 'ADD_JOB_HISTORY', 'PROCEDURE',
'PROCEDURE ADD_JOB_HISTORY(p_emp_id IN NUMBER, p_start IN DATE, p_end IN DATE,
                          p_job_id IN VARCHAR2, p_department_id IN NUMBER) IS
BEGIN
  INSERT INTO job_history (employee_id, start_date, end_date, job_id, department_id)
  VALUES (p_emp_id, p_start, p_end, p_job_id, p_department_id);
END ADD_JOB_HISTORY;');

INSERT INTO object_text VALUES ('BLAKE', 'ORDER_API', 'PACKAGE',
'PACKAGE ORDER_API AS
  PROCEDURE place(p_customer IN NUMBER, p_item IN VARCHAR2, p_quantity IN NUMBER);
  PROCEDURE cancel(p_order IN NUMBER);
END ORDER_API;');

INSERT INTO object_text VALUES ('BLAKE', 'ORDER_API', 'PACKAGE BODY',
'PACKAGE BODY ORDER_API AS
  PROCEDURE place(p_customer IN NUMBER, p_item IN VARCHAR2, p_quantity IN NUMBER) IS
  BEGIN
    INSERT INTO orders (order_id, customer_id, item, quantity, placed_on)
    VALUES (orders_seq.NEXTVAL, p_customer, p_item, p_quantity, SYSDATE);
  END place;

  PROCEDURE cancel(p_order IN NUMBER) IS
  BEGIN
    DELETE FROM orders WHERE order_id = p_order;
  END cancel;
END ORDER_API;');

INSERT INTO object_text VALUES ('BLAKE', 'ORDER_TOTAL', 'FUNCTION',
'FUNCTION ORDER_TOTAL(p_customer IN NUMBER) RETURN NUMBER IS
  v_total NUMBER;
BEGIN
  SELECT NVL(SUM(quantity), 0) INTO v_total FROM orders WHERE customer_id = p_customer;
  RETURN v_total;
END ORDER_TOTAL;');

INSERT INTO object_text VALUES ('SYS', 'DBA_TOOLS', 'PACKAGE',
'PACKAGE DBA_TOOLS AS
  PROCEDURE kill_idle_sessions(p_minutes IN PLS_INTEGER DEFAULT 60);
END DBA_TOOLS;');

INSERT INTO object_text VALUES ('SYS', 'DBA_TOOLS', 'PACKAGE BODY',
'PACKAGE BODY DBA_TOOLS AS
  PROCEDURE kill_idle_sessions(p_minutes IN PLS_INTEGER DEFAULT 60) IS
  BEGIN
    FOR s IN (SELECT sid, serial# FROM v$session
               WHERE status = ''INACTIVE'' AND last_call_et > p_minutes * 60) LOOP
      EXECUTE IMMEDIATE ''ALTER SYSTEM KILL SESSION '''''' || s.sid || '','' || s."SERIAL#" || '''''''';
    END LOOP;
  END kill_idle_sessions;
END DBA_TOOLS;');

-- Split each text after every line feed; line numbers start at 1.
WITH RECURSIVE split(owner, name, type, line, text, rest) AS (
  SELECT owner, name, type, 0, NULL, body FROM object_text
  UNION ALL
  SELECT owner, name, type, line + 1,
         CASE WHEN instr(rest, char(10)) > 0 THEN substr(rest, 1, instr(rest, char(10))) ELSE rest END,
         CASE WHEN instr(rest, char(10)) > 0 THEN substr(rest, instr(rest, char(10)) + 1) ELSE '' END
    FROM split WHERE rest <> '')
INSERT INTO source(owner, name, type, line, text)
  SELECT owner, name, type, line, text FROM split WHERE line > 0 ORDER BY owner, name, type, line;

DROP TABLE object_text;
