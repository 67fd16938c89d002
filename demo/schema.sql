create table STAFF (LAST_NAME varchar2(30) not null, FIRST_NAME varchar2(20), BORN date, CITY varchar2(30), SALARY number(10,2), SOURCE varchar2(10))
