-- Store database (dati.mdb): settings, price list, EAN codes, promotional offers and the
-- electronic shelf-label systems. Column types are Access type names.

CREATE TABLE utenti (
  codutente      SHORT NOT NULL PRIMARY KEY,
  nome           TEXT(30),
  nrpos          LONG,
  artico         TEXT(1),
  chiusura       TEXT(1),
  fid_rep        TEXT(10),
  Flag_CF        TEXT(1)
);

CREATE TABLE automa (
  codice         SHORT NOT NULL PRIMARY KEY,
  escludocaselle TEXT(255)
);

CREATE TABLE pv (
  codice         LONG NOT NULL PRIMARY KEY,
  descrizione    TEXT(40),
  proprio        TEXT(1)
);

-- Price list: one row per article.
CREATE TABLE listi01 (
  codart         LONG NOT NULL PRIMARY KEY,
  desart         TEXT(50),
  przpub         CURRENCY,
  przsal         CURRENCY,
  cosoff         CURRENCY,
  data1          DATETIME,
  data2          DATETIME,
  escludo        SHORT,
  fl2art         TEXT(1),
  taglia         TEXT(5),
  stapro         TEXT(1),
  numpro         LONG,
  codpro         SHORT,
  AA_offerta     SHORT,
  NR_offerta     LONG,
  descom         TEXT(30),
  codafo         TEXT(16),
  umart          TEXT(5),
  umquaco        TEXT(5),
  quaco          DOUBLE,
  ivart          TEXT(2),
  desfor         TEXT(45),
  desrep         TEXT(30),
  desgru         TEXT(30),
  dessot         TEXT(30),
  provenienza    TEXT(20),
  categoria      TEXT(20)
);

-- EAN codes: several per article, each with its own promotion fields.
CREATE TABLE codean (
  eanare         TEXT(13) NOT NULL PRIMARY KEY,
  codare         LONG,
  soglia         CURRENCY,
  sconto         CURRENCY,
  scoval         CURRENCY,
  omaggio        SHORT,
  puntif         LONG,
  mix            SHORT,
  codpro         SHORT,
  nrcard         LONG,
  descom         TEXT(30),
  przpro         CURRENCY,
  numpro         LONG
);
CREATE INDEX codean_codare ON codean (codare);

-- Promotional offers: header ...
CREATE TABLE offte (
  numero         LONG NOT NULL,
  anno           SHORT NOT NULL,
  descrizione    TEXT(40),
  data1          DATETIME,
  data2          DATETIME,
  stato          TEXT(1),
  PRIMARY KEY (numero, anno)
);

-- ... and rows, one per article.
CREATE TABLE offmo (
  bnumer         LONG NOT NULL,
  bannoc         SHORT NOT NULL,
  briga          LONG NOT NULL,
  eanrig         TEXT(20),
  articoli       LONG,
  sconto         CURRENCY,
  codafo         TEXT(16),
  stato          TEXT(1),
  bflag2         TEXT(1),
  PRIMARY KEY (bnumer, bannoc, briga)
);

-- Previous promotion numbers of the articles restored by the last deactivation.
CREATE TABLE listipro (
  numpro         LONG
);

CREATE TABLE unitam (
  coduni         TEXT(5) NOT NULL PRIMARY KEY,
  descrizione    TEXT(30),
  fatxmul        DOUBLE
);

-- Promotion types.
CREATE TABLE offtab (
  codice         SHORT NOT NULL PRIMARY KEY,
  descrizione    TEXT(25),
  codelettro     TEXT(1)
);

-- Electronic shelf-label systems.
CREATE TABLE elettro (
  codice         SHORT NOT NULL PRIMARY KEY,
  descrizione    TEXT(40),
  attivato       TEXT(1),
  ftp            TEXT(5),
  vexular        TEXT(20),
  percorsoint    TEXT(255)
);
