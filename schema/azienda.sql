-- Company database (c:\dorn\sulvo.mdb): which company runs the program and where its store
-- database lives. Column types are Access type names.

CREATE TABLE società (
  codute      SHORT NOT NULL PRIMARY KEY,
  ragsoc      TEXT(50),
  database    TEXT(255)
);

CREATE TABLE inizio (
  codute      SHORT NOT NULL PRIMARY KEY,
  descrizione TEXT(50)
);
