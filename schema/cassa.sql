-- Till database: the busy flag of the till, first row only.

CREATE TABLE Semafori (
  Flag1       SHORT
);
