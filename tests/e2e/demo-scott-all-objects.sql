CREATE OR REPLACE FUNCTION ANNUAL_SALARY(p_sal IN NUMBER, p_comm IN NUMBER DEFAULT NULL) RETURN NUMBER IS
BEGIN
  RETURN p_sal * 12 + NVL(p_comm, 0); /* twelve months plus commission */
END;
/
CREATE OR REPLACE PACKAGE EMP_API AS
  -- Hiring, moving and firing employees of the EMP table.
  e_no_such_employee EXCEPTION;

  PROCEDURE hire(p_ename IN VARCHAR2, p_job IN VARCHAR2, p_sal IN NUMBER, p_deptno IN NUMBER,
                 p_empno OUT NUMBER);
  PROCEDURE transfer(p_empno IN NUMBER, p_deptno IN NUMBER);
  PROCEDURE fire(p_empno IN NUMBER);
  FUNCTION headcount(p_deptno IN NUMBER) RETURN PLS_INTEGER;
END EMP_API;
/
CREATE OR REPLACE PACKAGE BODY EMP_API AS

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

END EMP_API;
/
CREATE OR REPLACE FUNCTION GET_DEPT_NAME(p_deptno IN NUMBER) RETURN VARCHAR2 IS
  v_dname dept.dname%TYPE;
BEGIN
  SELECT dname INTO v_dname FROM dept WHERE deptno = p_deptno;
  RETURN v_dname;
EXCEPTION
  WHEN NO_DATA_FOUND THEN
    RETURN NULL;
END GET_DEPT_NAME;
/
CREATE OR REPLACE PACKAGE HR_UTIL AS
  -- Small helpers shared by the reports.
  c_date_format CONSTANT VARCHAR2(10) := 'YYYY-MM-DD';

  FUNCTION years_of_service(p_hiredate IN DATE) RETURN NUMBER;
  FUNCTION format_money(p_amount IN NUMBER) RETURN VARCHAR2;
END HR_UTIL;
/
CREATE OR REPLACE PACKAGE BODY HR_UTIL AS

  FUNCTION years_of_service(p_hiredate IN DATE) RETURN NUMBER IS
  BEGIN
    RETURN TRUNC(MONTHS_BETWEEN(SYSDATE, p_hiredate) / 12);
  END years_of_service;

  FUNCTION format_money(p_amount IN NUMBER) RETURN VARCHAR2 IS
  BEGIN
    RETURN TO_CHAR(p_amount, 'FM999G999G990D00');
  END format_money;

END HR_UTIL;

/
CREATE OR REPLACE PROCEDURE RAISE_SALARY(p_empno IN NUMBER, p_percent IN NUMBER) IS
  v_sal emp.sal%TYPE;
BEGIN
  SELECT sal INTO v_sal FROM emp WHERE empno = p_empno FOR UPDATE;
  UPDATE emp SET sal = ROUND(v_sal * (1 + p_percent / 100), 2) WHERE empno = p_empno;
EXCEPTION
  WHEN NO_DATA_FOUND THEN
    RAISE_APPLICATION_ERROR(-20001, 'Employee ' || p_empno || ' does not exist');
END RAISE_SALARY;
/
