// Runs an SQL script in a DuckDB database for the import benchmark:
//   node run.mjs DATABASE SCRIPT.sql
// With two threads, as many as the benchmark machine has cores. Prints the rows of the script's last
// statement tab-separated (the figures the benchmark checks). The database is checkpointed before it is
// closed, so that its file holds the rows as kimport's table file holds them when kimport ends.
import { readFileSync } from 'node:fs';
import { DuckDBInstance } from '@duckdb/node-api';

const [database, script] = process.argv.slice(2);
const instance = await DuckDBInstance.create(database);
const connection = await instance.connect();
await connection.run('SET threads=2');
const reader = await connection.runAndReadAll(readFileSync(script, 'utf8'));
for (const row of reader.getRowsJS()) console.log(row.map(String).join('\t'));
await connection.run('CHECKPOINT');
connection.closeSync();
instance.closeSync();
